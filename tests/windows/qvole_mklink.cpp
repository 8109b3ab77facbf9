// Test driver for qvole.dll. Binds the library by name and its exports by their
// undecorated names, as the installer does, and makes one shortcut:
//
//   win_qvole_mklink <common> <group> <name> <target> <workdir> [<args>]
//       OleInit, MakeShortCut, OleUninit; without <args> the arguments are passed as
//       null. Prints "MakeShortCut=<result>"; exits 0 when the link was saved, 1 when
//       not, 2 when the library or an export is missing.
//   win_qvole_mklink --folder user|common
//       prints the shell's Programs folder of the current user or of all users.
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/qvole_exports_win.h"

namespace {

using qvtest::Export;
using qvtest::MakeShortCutFn;
using qvtest::OleInitFn;
using qvtest::OleUninitFn;

int PrintFolder(const char* which) {
    const int csidl = std::strcmp(which, "common") == 0 ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS;
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) return 1;
    std::printf("%s\n", path);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--folder") == 0) return PrintFolder(argv[2]);
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "usage: win_qvole_mklink common group name target workdir [args]\n");
        return 2;
    }
    const HMODULE library = LoadLibraryA("qvole.dll");
    if (!library) {
        std::fprintf(stderr, "qvole.dll not found\n");
        return 2;
    }
    const auto oleInit = Export<OleInitFn>(library, "OleInit");
    const auto oleUninit = Export<OleUninitFn>(library, "OleUninit");
    const auto makeShortCut = Export<MakeShortCutFn>(library, "MakeShortCut");
    if (!oleInit || !oleUninit || !makeShortCut) {
        std::fprintf(stderr, "an export of qvole.dll is missing\n");
        return 2;
    }
    oleInit();
    const int32_t made = makeShortCut(std::atoi(argv[1]), argv[2], argv[3], argv[4], argv[5],
                                      argc == 7 ? argv[6] : nullptr);
    oleUninit();
    std::printf("MakeShortCut=%d\n", static_cast<int>(made));
    return made == 1 ? 0 : 1;
}
