#include "setup/session/lazy_library_win.h"

namespace qv {
namespace {

// The folder of this program's own file, without a trailing "\".
std::string ProgramFolder() {
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return ".";
    std::string folder(path, length);
    const size_t slash = folder.rfind('\\');
    return slash == std::string::npos ? "." : folder.substr(0, slash);
}

std::string SystemFolder() {
    char path[MAX_PATH * 2];
    const UINT length = GetSystemDirectoryA(path, sizeof path);
    return length > 0 && length < sizeof path ? std::string(path, length) : std::string("C:\\Windows\\System32");
}

}  // namespace

void RestrictDllSearch() {
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault && setDefault(kSearchSystem32)) return;
    auto setDirectory =
        reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
    if (setDirectory) setDirectory("");
}

std::string LazyLibrary::Path() const {
    return (folder_ == Folder::Program ? ProgramFolder() : SystemFolder()) + "\\" + fileName_;
}

bool LazyLibrary::Load(RunError& error) {
    if (module_) return true;
    module_ = LoadLibraryA(Path().c_str());
    if (!module_) error = FromSystemError(GetLastError());
    return module_ != nullptr;
}

}  // namespace qv
