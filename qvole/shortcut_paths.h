// The shortcut library's own logic, free of the Windows shell: which Programs folder a
// shortcut goes to, how the group folder and link paths are built within the path limits,
// and the order in which OleInit binds the OLE library. The shell, the file system, the
// link object and the OLE library are reached through the two ports below; qvole.dll
// implements them with Win32 (ole_client.cpp), tests with fakes.
//
// Strings are 8-bit text in the ANSI code page, paths use "\" as the separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qvole {

// Path buffers hold the Windows path limit, 260 characters with the terminator.
inline constexpr std::size_t kMaxPath = 260;
// Programs folder, separator and group name together.
inline constexpr std::size_t kMaxGroupFolder = 258;
// Group folder, separator and shortcut name, before ".LNK" is added.
inline constexpr std::size_t kMaxLinkStem = 255;

// Rewrites a per-user Programs path (profiles root \ user \ start menu \ programs) into
// the all-users one by putting "All users" in place of the third component from the end:
//   C:\WINNT\Profiles\user1\Start Menu\Programs -> C:\WINNT\Profiles\All users\Start Menu\Programs
// Returns false, leaving the path as it is, when it has fewer than three "\".
bool ToAllUsersPath(std::string& path);

// The group folder: programs (ending in "\") followed by group, the group cut so that the
// whole holds at most kMaxGroupFolder characters. An empty group gives programs itself.
// False when a non-empty group has no room at all.
bool GroupFolderPath(const std::string& programs, const std::string& group, std::string& folder);

// The link file: folder, one "\" where folder does not already end in one, name cut so
// that this much holds at most kMaxLinkStem characters, then ".LNK". False when a
// non-empty name has no room at all.
bool LinkFilePath(const std::string& folder, const std::string& name, std::string& link);

// The working directory a shortcut gets: workdir when it is not empty, else the part of
// target before its last "\" (empty when target holds none).
std::string LinkWorkingDirectory(const std::string& target, const std::string& workdir);

enum class ProgramsFolderKind { CurrentUser, AllUsers };

// One shell link as it is saved.
struct LinkSpec {
    std::string target;
    std::string path;         // the .LNK file, at most kMaxPath - 1 characters
    std::string description;  // the whole shortcut name
    std::string workdir;
    std::optional<std::string> args;  // nothing: the arguments are left unset
};

// The shell, the file system and the link object, as MakeShortCut needs them.
class ShortcutShell {
public:
    virtual ~ShortcutShell() = default;
    // True on the Windows 95/98 family; false on the NT family or when the version
    // query fails.
    virtual bool IsWin9x() = 0;
    // The file-system path of a Programs folder (no trailing "\"); false when the
    // shell has no such folder or it has no file-system path.
    virtual bool GetFolderPath(ProgramsFolderKind kind, std::string& path) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;
    // Creates one level of directory.
    virtual bool MakeDirectory(const std::string& path) = 0;
    // Creates the link object, sets its fields and saves it; true when saved.
    virtual bool CreateLink(const LinkSpec& link) = 0;
};

// The Programs folder a shortcut goes to, without a trailing "\". With common 1 on the NT
// family it is the all-users folder: the shell's own common Programs folder, or, where the
// shell has none, the current user's folder rewritten by ToAllUsersPath. Otherwise, and
// always on Windows 95/98, the current user's.
bool GetProgramsFolder(ShortcutShell& shell, int32_t common, std::string& path);

struct ShortcutRequest {
    int32_t common = 0;
    std::string group;
    std::string name;
    std::string target;
    std::string workdir;
    std::optional<std::string> args;
};

// Makes the Programs folder and the group folder (one level) where they are missing and
// saves the shortcut in the group folder. Returns 1 when the link was saved, else 0.
// Folders created before a failure stay.
int32_t MakeShortCut(ShortcutShell& shell, const ShortcutRequest& request);

// The entry points that OleInit takes from the OLE library, in the order it resolves them.
enum class OleEntry { CoInitialize, CoUninitialize, CoCreateInstance };
const char* OleEntryName(OleEntry entry);

// The OLE library as OleInit binds it.
class OleBinder {
public:
    virtual ~OleBinder() = default;
    virtual bool Load() = 0;                  // loads "OLE32.DLL"
    virtual bool Resolve(OleEntry entry) = 0;  // looks the entry point up by name
    virtual void Release() = 0;               // releases the loaded library
    virtual int32_t Initialize() = 0;         // calls CoInitialize, returns its result
    // Shows a message box with an OK button; returns the box's result.
    virtual int32_t ShowError(const char* text) = 0;
};

// Loads the library and resolves its three entry points; a failure is reported in a
// message box whose result is returned, the library released again after a failed
// resolution. On success returns the result of CoInitialize.
int32_t InitOle(OleBinder& binder);

}  // namespace qvole
