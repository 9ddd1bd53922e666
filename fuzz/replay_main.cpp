// Runs a fuzz target over saved inputs (files, or every file in a folder), so the corpus and
// every crash once found are checked by each ordinary build, without libFuzzer.
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

// The input being replayed, named when a check fails on it: a broken rule aborts the program.
std::string current;

void nameInput(int sig) {
    const char lead[] = "\nfault while replaying ";
    [[maybe_unused]] auto n = write(STDERR_FILENO, lead, sizeof lead - 1);
    n = write(STDERR_FILENO, current.data(), current.size());
    n = write(STDERR_FILENO, "\n", 1);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void runFile(const fs::path& path) {
    current = path.string();
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

int main(int argc, char** argv) {
    for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
        std::signal(sig, nameInput);
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(arg))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& f : files) {
                runFile(f);
                ++count;
            }
        } else if (fs::is_regular_file(arg)) {
            runFile(arg);
            ++count;
        } else {
            std::fprintf(stderr, "%s: no such file or folder\n", argv[i]);
            return 2;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "no inputs\n");
        return 2;
    }
    std::printf("%zu inputs, no fault\n", count);
    return 0;
}
