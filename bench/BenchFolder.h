#pragma once

// What the benchmarks that generate a device share: a temporary folder, removed with the object,
// and writing a file with the folders it needs.
//
//     struct GeneratedDevice : BenchFolder {
//         GeneratedDevice() { writeBenchFile(root / "var/mobile/x.plist", bytes); }
//     };

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

struct BenchFolder {
    std::filesystem::path root;

    BenchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "oc-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        root = pattern;
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;
};

inline void writeBenchFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}
