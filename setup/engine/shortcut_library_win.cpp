#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include "setup/engine/shortcut_library.h"
#include "setup/session/lazy_library_win.h"

namespace qv {
namespace {

using OleInitFn = int32_t(WINAPI*)();
using OleUninitFn = int32_t(WINAPI*)();
using MakeShortCutFn = int32_t(WINAPI*)(int32_t, const char*, const char*, const char*, const char*, const char*);

class Qvole : public ShortcutLibrary {
public:
    void OleInit() override {
        if (Bind()) oleInit_();
    }
    ShortcutResult MakeShortCut(int32_t common, const std::string& group, const std::string& name,
                                const std::string& target, const std::string& workdir,
                                const std::string& args) override {
        if (!Bind()) return ShortcutResult::NoLibrary;
        return makeShortCut_(common, group.c_str(), name.c_str(), target.c_str(), workdir.c_str(), args.c_str())
                   ? ShortcutResult::Made
                   : ShortcutResult::NotMade;
    }
    void OleUninit() override {
        if (Bind()) oleUninit_();
    }
    std::optional<ShortcutTarget> ReadShortCut(int32_t common, const std::string& group,
                                               const std::string& name) override;
    std::optional<ProgramsFolder> FindProgramsFolder(int32_t common) override;

private:
    // True when all three entry points are there. A library or entry point that is
    // missing leaves the shortcut step without effect, silently.
    bool Bind() {
        return library_.Bind(oleInit_, "OleInit") && library_.Bind(oleUninit_, "OleUninit") &&
               library_.Bind(makeShortCut_, "MakeShortCut");
    }

    LazyLibrary library_{"qvole.dll", LazyLibrary::Folder::Program};
    OleInitFn oleInit_ = nullptr;
    OleUninitFn oleUninit_ = nullptr;
    MakeShortCutFn makeShortCut_ = nullptr;
};

// Releases a COM interface when it goes out of scope.
template <typename Interface>
struct Released {
    Interface* p = nullptr;
    ~Released() {
        if (p) p->Release();
    }
};

// The library puts a shortcut made with common 1 in the all-users Programs folder where the
// system has one, and in the user's own otherwise.
std::optional<ProgramsFolder> Qvole::FindProgramsFolder(int32_t common) {
    char programs[MAX_PATH];
    if (common == 1 && SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)))
        return ProgramsFolder{programs, true};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)))
        return ProgramsFolder{programs, false};
    return std::nullopt;
}

std::optional<ShortcutTarget> Qvole::ReadShortCut(int32_t common, const std::string& group, const std::string& name) {
    const std::optional<ProgramsFolder> programs = FindProgramsFolder(common);
    if (!programs) return std::nullopt;
    const std::string link = LinkFileOf(GroupFolderOf(programs->path, group), name);
    if (GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;

    const HRESULT initialized = CoInitialize(nullptr);
    std::optional<ShortcutTarget> result;
    {
        Released<IShellLinkA> shell;
        Released<IPersistFile> file;
        std::wstring wide(link.size() + 1, L'\0');
        const int length = MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
        char target[MAX_PATH * 2] = {}, workdir[MAX_PATH * 2] = {}, args[MAX_PATH * 4] = {};
        if (length > 0 &&
            SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       reinterpret_cast<void**>(&shell.p))) &&
            SUCCEEDED(shell.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))) &&
            SUCCEEDED(file.p->Load(wide.c_str(), STGM_READ)) &&
            SUCCEEDED(shell.p->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH)) &&
            SUCCEEDED(shell.p->GetWorkingDirectory(workdir, sizeof workdir)) &&
            SUCCEEDED(shell.p->GetArguments(args, sizeof args)))
            result = ShortcutTarget{target, workdir, args};
    }
    if (SUCCEEDED(initialized)) CoUninitialize();
    return result;
}

}  // namespace

ShortcutLibrary& QvoleLibrary() {
    static Qvole library;
    return library;
}

}  // namespace qv
