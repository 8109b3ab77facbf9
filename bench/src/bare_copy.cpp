// The limit of copying a tree with the installer's block size: every file read and written
// in 32,767-byte ReadFile/WriteFile calls, no checksum, no progress, no times, nothing else.
//   bare_copy.exe <from> <to>      exit code 0 when every file was copied
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kBlock = 32767;

bool CopyOne(const std::string& from, const std::string& to, std::vector<char>& buffer) {
    HANDLE in = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    HANDLE out = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = out != INVALID_HANDLE_VALUE;
    for (DWORD got = kBlock; ok && got == kBlock;) {
        DWORD put = 0;
        ok = ReadFile(in, buffer.data(), kBlock, &got, nullptr) &&
             (got == 0 || (WriteFile(out, buffer.data(), got, &put, nullptr) && put == got));
    }
    if (out != INVALID_HANDLE_VALUE && !CloseHandle(out)) ok = false;
    CloseHandle(in);
    return ok;
}

bool CopyTree(const std::string& from, const std::string& to, std::vector<char>& buffer) {
    if (!CreateDirectoryA(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        ok = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                 ? CopyTree(from + "\\" + name, to + "\\" + name, buffer)
                 : CopyOne(from + "\\" + name, to + "\\" + name, buffer);
    } while (ok && FindNextFileA(search, &found));
    FindClose(search);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bare_copy <from> <to>\n");
        return 2;
    }
    std::vector<char> buffer(kBlock);
    return CopyTree(argv[1], argv[2], buffer) ? 0 : 1;
}
