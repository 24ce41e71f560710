// Replays saved inputs through a fuzz target without libFuzzer, so that the
// test build (any compiler, ASan + UBSan) compiles every target and runs its
// corpus: replay_main PATH... feeds each file, and each file of each folder
// in name order, to LLVMFuzzerTestOneInput. A missing path, an unreadable
// file or a folder with no file fails the run: a corpus that vanished must
// not pass as one that held nothing wrong.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

bool replay(const fs::path& file)
{
    std::vector<uint8_t> bytes;
    std::FILE* in = std::fopen(file.c_str(), "rb");
    bool read = in != nullptr;
    if (read) {
        uint8_t chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
            bytes.insert(bytes.end(), chunk, chunk + n);
        read = std::ferror(in) == 0;
        std::fclose(in);
    }
    if (!read) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
        return false;
    }
    // An empty input is passed as libFuzzer passes one: a valid pointer, size 0.
    static const uint8_t none = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
    return true;
}

// The files to replay for one argument, or none after saying why.
std::vector<fs::path> inputsOf(const fs::path& path)
{
    std::error_code ec;
    if (fs::is_regular_file(path, ec))
        return {path};
    std::vector<fs::path> files;
    if (!fs::is_directory(path, ec)) {
        std::fprintf(stderr, "replay: %s is neither a file nor a folder\n", path.c_str());
        return files;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(path, ec))
        if (entry.is_regular_file(ec))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (files.empty())
        std::fprintf(stderr, "replay: %s holds no input%s%s\n", path.c_str(), ec ? ": " : "",
                     ec ? ec.message().c_str() : "");
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<fs::path> files = inputsOf(argv[i]);
        if (files.empty())
            return 1;
        for (const fs::path& file : files) {
            if (!replay(file))
                return 1;
            ++replayed;
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::printf("replayed %zu inputs in %.2f s\n", replayed, took.count());
    return 0;
}
