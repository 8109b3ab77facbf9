#include "qvole/ole_client.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "qvole/shortcut_app.h"
#include "qvole/shortcut_paths.h"

COleClient::CoCreateInstanceFn COleClient::s_coCreateInstance = nullptr;
COleClient::CoInitializeFn COleClient::s_coInitialize = nullptr;
COleClient::CoUninitializeFn COleClient::s_coUninitialize = nullptr;
HMODULE COleClient::s_oleLibrary = nullptr;
int COleClient::s_initCount = 0;
int COleClient::s_comInitCount = 0;

namespace {

template <typename Fn>
Fn ProcAs(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

// Holds one COM interface and releases it when it goes.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_) p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return p_; }
    void** out() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

}  // namespace

// Binds the OLE library for Init: everything is resolved into locals first and becomes
// the process-wide state only when all three entry points were found.
class OleLibraryBinder : public qvole::OleBinder {
public:
    bool Load() override {
        library_ = LoadLibraryA("OLE32.DLL");
        return library_ != nullptr;
    }
    bool Resolve(qvole::OleEntry entry) override {
        const FARPROC proc = GetProcAddress(library_, qvole::OleEntryName(entry));
        switch (entry) {
        case qvole::OleEntry::CoInitialize:
            coInitialize_ = ProcAs<COleClient::CoInitializeFn>(proc);
            break;
        case qvole::OleEntry::CoUninitialize:
            coUninitialize_ = ProcAs<COleClient::CoUninitializeFn>(proc);
            break;
        case qvole::OleEntry::CoCreateInstance:
            coCreateInstance_ = ProcAs<COleClient::CoCreateInstanceFn>(proc);
            break;
        }
        return proc != nullptr;
    }
    void Release() override {
        FreeLibrary(library_);
        library_ = nullptr;
    }
    int32_t Initialize() override {
        COleClient::s_coCreateInstance = coCreateInstance_;
        COleClient::s_coInitialize = coInitialize_;
        COleClient::s_coUninitialize = coUninitialize_;
        COleClient::s_oleLibrary = library_;
        ++COleClient::s_initCount;
        const HRESULT result = coInitialize_(nullptr);
        if (SUCCEEDED(result)) ++COleClient::s_comInitCount;
        return static_cast<int32_t>(result);
    }
    int32_t ShowError(const char* text) override { return theApp.ShowMessage(text); }

private:
    HMODULE library_ = nullptr;
    COleClient::CoInitializeFn coInitialize_ = nullptr;
    COleClient::CoUninitializeFn coUninitialize_ = nullptr;
    COleClient::CoCreateInstanceFn coCreateInstance_ = nullptr;
};

// The shell, the file system and the shell's link object under Win32.
class WinShortcutShell : public qvole::ShortcutShell {
public:
    bool IsWin9x() override { return COleClient::IsWin9x(); }

    bool GetFolderPath(qvole::ProgramsFolderKind kind, std::string& path) override {
        const int csidl =
            kind == qvole::ProgramsFolderKind::AllUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS;
        LPITEMIDLIST items = nullptr;
        if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return false;
        char buffer[MAX_PATH] = {};
        const bool ok = SHGetPathFromIDListA(items, buffer) != FALSE;
        // The item list belongs to the caller, allocated by the shell's allocator.
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
            allocator->Free(items);
            allocator->Release();
        }
        if (!ok) return false;
        path = buffer;
        return true;
    }

    bool IsDirectory(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool MakeDirectory(const std::string& path) override {
        return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
    }

    bool CreateLink(const qvole::LinkSpec& spec) override {
        if (!COleClient::s_coCreateInstance) return false;
        ComRef<IShellLinkA> link;
        if (FAILED(COleClient::s_coCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IShellLinkA, link.out())))
            return false;
        ComRef<IPersistFile> file;
        if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;

        // The setters' results do not decide anything: only a saved file counts.
        link->SetPath(spec.target.c_str());
        link->SetDescription(spec.description.c_str());
        link->SetWorkingDirectory(spec.workdir.c_str());
        if (spec.args) link->SetArguments(spec.args->c_str());

        wchar_t widePath[qvole::kMaxPath];
        if (MultiByteToWideChar(CP_ACP, 0, spec.path.c_str(), -1, widePath, qvole::kMaxPath) == 0)
            return false;
        return SUCCEEDED(file->Save(widePath, TRUE));
    }
};

int32_t COleClient::Init() {
    OleLibraryBinder binder;
    return qvole::InitOle(binder);
}

int32_t COleClient::Uninit() {
    if (s_initCount == 0) return 0;
    if (s_comInitCount > 0) {
        s_coUninitialize();
        --s_comInitCount;
    }
    const BOOL released = FreeLibrary(s_oleLibrary);
    if (--s_initCount == 0) {
        // The last reference is gone: nothing may call into the library any more.
        s_coCreateInstance = nullptr;
        s_coInitialize = nullptr;
        s_coUninitialize = nullptr;
        s_oleLibrary = nullptr;
    }
    return released ? 1 : 0;
}

int32_t COleClient::MakeShortCut(int32_t common, const char* group, const char* name,
                                 const char* target, const char* workdir, const char* args) {
    if (s_initCount == 0 || !name || !target) return 0;
    qvole::ShortcutRequest request;
    request.common = common;
    request.group = group ? group : "";
    request.name = name;
    request.target = target;
    request.workdir = workdir ? workdir : "";
    if (args) request.args = args;
    WinShortcutShell shell;
    return qvole::MakeShortCut(shell, request);
}

bool COleClient::IsWin9x() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);  // 148, the ANSI structure
    static_assert(sizeof(OSVERSIONINFOA) == 148);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL ok = GetVersionExA(&version);
#pragma GCC diagnostic pop
    return ok && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}
