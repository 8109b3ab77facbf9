// GetCRC of the build's qvcrc.dll against the fastest CRC-32 methods there are, over the
// same bytes (every file below a directory, read into memory) in 32,767-byte calls, as the
// copy makes them. The methods take turns, round after round, and each prints the median
// of its times:
//   crc <method> <seconds>         for getcrc, zlib, slicing-by-8 and folding (where the CPU has it)
//   crc_compare.exe <dir> <qvcrc.dll> [rounds]
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "qvcrc/crc32.h"

namespace {

using GetCrcFn = int32_t(__stdcall*)(const void*, int32_t, int32_t);
GetCrcFn getCrc = nullptr;

void ReadTree(const std::string& dir, std::vector<std::vector<unsigned char>>& files) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName, path = dir + "\\" + name;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ReadTree(path, files);
            continue;
        }
        std::vector<unsigned char> bytes;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            unsigned char buffer[65536];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
            std::fclose(f);
        }
        files.push_back(std::move(bytes));
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

using Method = uint32_t (*)(uint32_t, const void*, size_t);
struct Row {
    const char* name;
    Method method;
    std::vector<double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    HMODULE dll = LoadLibraryA(argv[2]);
    getCrc = dll ? reinterpret_cast<GetCrcFn>(reinterpret_cast<void*>(GetProcAddress(dll, "GetCRC"))) : nullptr;
    if (!getCrc) {
        std::fprintf(stderr, "no GetCRC in %s\n", argv[2]);
        return 3;
    }
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    std::vector<std::vector<unsigned char>> files;
    ReadTree(argv[1], files);
    if (files.empty()) return 4;

    std::vector<Row> rows = {
        {"getcrc", [](uint32_t r, const void* d, size_t n) {
             return static_cast<uint32_t>(getCrc(d, static_cast<int32_t>(n), static_cast<int32_t>(r)));
         }, {}},
        {"zlib", [](uint32_t r, const void* d, size_t n) {
             return ~static_cast<uint32_t>(crc32(~r, static_cast<const Bytef*>(d), static_cast<uInt>(n)));
         }, {}},
        {"slicing-by-8", &qvcrc::detail::UpdateSlicing8, {}}};
    if (qvcrc::detail::HasFolding()) rows.push_back({"folding", &qvcrc::detail::UpdateFolding, {}});

    uint32_t expected = 0;
    for (int round = 0; round < rounds; ++round) {
        for (Row& row : rows) {
            uint32_t all = 0;
            const auto start = std::chrono::steady_clock::now();
            for (const auto& bytes : files) {
                uint32_t crc = 0xFFFFFFFFu;
                for (size_t at = 0; at < bytes.size(); at += 32767)
                    crc = row.method(crc, bytes.data() + at, std::min<size_t>(32767, bytes.size() - at));
                all ^= crc;
            }
            row.seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            if (&row == &rows[0] && round == 0) expected = all;
            if (all != expected) {
                std::fprintf(stderr, "%s gives another checksum\n", row.name);
                return 5;
            }
        }
    }
    for (Row& row : rows) {
        std::sort(row.seconds.begin(), row.seconds.end());
        std::printf("crc %s %.6f\n", row.name, row.seconds[row.seconds.size() / 2]);
    }
    return 0;
}
