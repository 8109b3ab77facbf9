// The shortcut library as the installer sees it: the three calls of qvole.dll. A library
// that cannot be loaded makes every call do nothing. The results go to the install log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv {

enum class ShortcutResult { Made, NotMade, NoLibrary };

// What a shortcut on disk starts.
struct ShortcutTarget {
    std::string target;
    std::string workdir;
    std::string args;
};

struct ProgramsFolder {
    std::string path;
    bool common = false;
};

// The folder of a program group below a Programs folder (an empty title: the Programs
// folder itself), and the link file of a shortcut in it.
inline std::string GroupFolderOf(const std::string& programs, const std::string& group) {
    return group.empty() ? programs : programs + "\\" + group;
}
inline std::string LinkFileOf(const std::string& groupFolder, const std::string& name) {
    return groupFolder + "\\" + name + ".LNK";
}

class ShortcutLibrary {
public:
    virtual ~ShortcutLibrary() = default;
    virtual void OleInit() = 0;
    virtual ShortcutResult MakeShortCut(int32_t common, const std::string& group, const std::string& name,
                              const std::string& target, const std::string& workdir, const std::string& args) = 0;
    virtual void OleUninit() = 0;
    // The shortcut `name` of group as it is on disk (common 1: in the all-users Programs
    // folder), read through the shell; nothing when there is none or it cannot be read.
    virtual std::optional<ShortcutTarget> ReadShortCut(int32_t common, const std::string& group,
                                                       const std::string& name) = 0;
    // The Programs folder a shortcut made with `common` goes to, and whether it is the
    // all-users one; nothing when the shell does not say.
    virtual std::optional<ProgramsFolder> FindProgramsFolder(int32_t /*common*/) { return std::nullopt; }
};

// The library's OLE initialised for as long as this lives: OleInit when it is made,
// OleUninit when it goes, however the scope is left.
class OleSession {
public:
    explicit OleSession(ShortcutLibrary& library) : library_(library) { library_.OleInit(); }
    ~OleSession() { library_.OleUninit(); }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;

private:
    ShortcutLibrary& library_;
};

// qvole.dll, bound at the first call and kept loaded until the program ends; shortcuts
// are read back through the shell's link object. Windows only (shortcut_library_win.cpp).
ShortcutLibrary& QvoleLibrary();

}  // namespace qv
