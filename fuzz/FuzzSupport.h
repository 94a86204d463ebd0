#pragma once

// What the harnesses share: a scratch folder of their own for the readers that take a file (made
// once per process, removed at exit), and a way to put one input there.
//
//     const FuzzScratch& device() {
//         return preparedScratch([](const FuzzScratch& s) { NSFileManager::setDeviceRoot(s.path()); });
//     }
//     device().write("Applications/Fuzz.app/Info.plist", data, size);

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class FuzzScratch {
public:
    FuzzScratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orbitchat-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        path_ = pattern;
    }
    ~FuzzScratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    FuzzScratch(const FuzzScratch&) = delete;
    FuzzScratch& operator=(const FuzzScratch&) = delete;

    const std::string& path() const { return path_; }

    // Writes the input to `relative` under the folder, making the folders on the way; aborts when
    // it cannot, as a harness that fed nothing would find nothing.
    std::string write(const std::string& relative, const std::uint8_t* data, std::size_t size) const {
        std::filesystem::path file = std::filesystem::path(path_) / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        if (!out)
            std::abort();
        return file.string();
    }

private:
    std::string path_;
};

// The harness's scratch folder, made and handed to `setup` once, on first use. Each harness
// passes its own lambda, so each gets a folder of its own.
template <class Setup> const FuzzScratch& preparedScratch(Setup setup) {
    static FuzzScratch scratch;
    static const bool ready = (setup(scratch), true);
    (void)ready;
    return scratch;
}
