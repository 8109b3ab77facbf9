#include <windows.h>

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

}  // namespace

ShortcutLibrary& QvoleLibrary() {
    static Qvole library;
    return library;
}

}  // namespace qv
