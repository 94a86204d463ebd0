// Replays inputs through a fuzz harness without libFuzzer: each argument is a file, or a folder
// whose regular files are replayed in name order. A fault shows as the sanitizers' report and a
// failing exit; a clean run prints how many inputs went through.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of exactly the input's size, so reading one byte past it is caught. An empty input
    // still comes with a pointer, as libFuzzer hands it.
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    static std::uint8_t none = 0;
    LLVMFuzzerTestOneInput(input.empty() ? &none : input.data(), input.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path = argv[i];
        if (!std::filesystem::is_directory(path)) {
            files.push_back(path);
            continue;
        }
        std::vector<std::filesystem::path> inFolder;
        for (const auto& entry : std::filesystem::directory_iterator(path))
            if (entry.is_regular_file())
                inFolder.push_back(entry.path());
        std::sort(inFolder.begin(), inFolder.end());
        files.insert(files.end(), inFolder.begin(), inFolder.end());
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s FILE|FOLDER... (no inputs found)\n", argv[0]);
        return 2;
    }
    for (const auto& file : files)
        if (!replay(file))
            return 1;
    std::printf("replayed %zu inputs\n", files.size());
    return 0;
}
