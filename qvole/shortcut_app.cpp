#include "qvole/shortcut_app.h"

#include <windows.h>

#include <string>

// The module this code is linked into: the library itself.
extern "C" IMAGE_DOS_HEADER __ImageBase;

CShortcutApp theApp;

namespace {

// The library's file name without folder and extension ("qvole").
std::string LibraryName() {
    char path[MAX_PATH] = {};
    const DWORD length =
        GetModuleFileNameA(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "QVOLE";
    std::string name = path;
    const std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

}  // namespace

int32_t CShortcutApp::ShowMessage(const char* text) const {
    return MessageBoxA(GetActiveWindow(), text, LibraryName().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

// The exports: thin forwarders with the stdcall convention, named without decoration by
// qvole.def. No C++ exception leaves the library.
extern "C" {

int32_t __stdcall OleInit() {
    try {
        return theApp.oleClient.Init();
    } catch (...) {
        return 0;
    }
}

int32_t __stdcall OleUninit() {
    try {
        return theApp.oleClient.Uninit();
    } catch (...) {
        return 0;
    }
}

int32_t __stdcall MakeShortCut(int32_t common, const char* group, const char* name,
                               const char* target, const char* workdir, const char* args) {
    try {
        return theApp.oleClient.MakeShortCut(common, group, name, target, workdir, args);
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
