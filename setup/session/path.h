// The one path type of the program. A Path is made once from text, where the text is read
// (the command line, an answer file, the CD's catalogue and lists, the install record, the
// journal, the registry), and from then on it is full and canonical: one spelling for one
// place, so that two paths compare equal exactly when they name the same place, and
// IsWithin is the one test of confinement. Every file call that deletes, moves, creates or
// writes takes a Path; one that only reads takes its text.
//
// The canonical form: "\" as the separator, "." and ".." worked out (".." at the root stays
// at the root, as Windows has it), a doubled separator read as one, the trailing dots and
// blanks that Windows drops from a name dropped, and no "\" at the end but a drive root's
// ("c:\"). Paths compare without regard to the case of ASCII letters, as the file system
// does; the text keeps the case it was given.
//
// Refused, whatever the caller: NUL and every other control character, a device name as any
// component ("CON", "nul.txt", "COM1"), a stream ("a.txt:s"), the characters < > " | ? *,
// a component of dots and blanks alone, and the "\\?\" and "\\.\" forms. A share
// ("\\server\share\...") is refused where the caller does not ask for one.
//
// The native build keeps the logic's paths on the build machine: there, a text beginning
// with "/" is a folder of the build machine up to its first "\" (the root), and Windows
// components after it, as the native file layer maps them. Such a root is no root of a
// drive: it has a name and a parent of its own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The forms a caller takes besides a full path on a drive.
struct PathForms {
    bool share = false;  // "\\server\share\...": a CD or an install directory on a file server
};

class Path {
public:
    Path() = default;  // no path: empty()

    // The path the text names. A relative ("a\b"), rooted ("\a") or drive-relative ("c:a")
    // text is made full against `base`; without one it is refused. Nothing, with why,
    // when the text is refused.
    static std::optional<Path> Parse(std::string_view text, std::string& why, const Path* base = nullptr,
                                     PathForms forms = {});
    static std::optional<Path> Parse(std::string_view text, const Path* base = nullptr, PathForms forms = {});

    // The path of `relative` below this one: one or more names ("sub\a.txt"), none of
    // them "." or "..", and none full. Nothing, with why, when it is refused.
    std::optional<Path> Join(std::string_view relative, std::string& why) const;
    std::optional<Path> Join(std::string_view relative) const;

    bool empty() const { return text_.empty(); }
    const std::string& str() const { return text_; }
    // Calls that only read take a path's text.
    operator const std::string&() const { return text_; }
    const char* c_str() const { return text_.c_str(); }
    // The text with a "\" at its end ("c:\qv\"; a drive root's own: "c:\"), and without
    // one ("c:\qv"; a drive root: "c:"), for the texts that join a name with "\".
    std::string Slashed() const;
    std::string Unslashed() const;
    // The text in upper case: the form paths are compared and looked up by.
    const std::string& Key() const { return key_; }

    bool IsRoot() const { return !empty() && names_ == 0 && !IsNativeFolder(); }
    bool IsShare() const { return text_.rfind("\\\\", 0) == 0; }
    // The folder that holds it; a root is its own.
    Path Parent() const;
    // The last name; empty for a root.
    std::string_view Name() const;
    // The path of a file beside this one, named by this one's name and `suffix` (".bad",
    // ".~new": a dot, then letters); empty for a root.
    Path WithSuffix(std::string_view suffix) const;
    // The names after the root, in order.
    std::vector<std::string_view> Names() const;
    // The path is `root` or lies below it.
    bool IsWithin(const Path& root) const;
    // The names of this path below `root` (which it IsWithin), joined by "\"; empty for root.
    std::string_view RelativeTo(const Path& root) const;

    friend bool operator==(const Path& a, const Path& b) { return a.key_ == b.key_; }
    friend bool operator!=(const Path& a, const Path& b) { return a.key_ != b.key_; }
    friend bool operator<(const Path& a, const Path& b) { return a.key_ < b.key_; }

private:
    Path(std::string root, const std::vector<std::string>& names);
    bool IsNativeFolder() const;  // natively: a root that is a folder of the machine below "/"
    // The root of text and, where text is relative to base, base's names; `rest` is what
    // follows the root. False, with why, when text has no root this type takes.
    static bool TakeRoot(std::string_view text, const Path* base, PathForms forms, std::string& root,
                         std::vector<std::string>& names, std::string_view& rest, std::string& why);

    std::string text_;
    std::string key_;
    size_t rootSize_ = 0;  // the root's text without a "\" of its own: "c:", "\\srv\share", "/tmp/x"
    size_t names_ = 0;     // the number of names after the root
};

// A path joined with text is text, for messages and the log: never a Path, which only
// Parse and Join make.
inline std::string operator+(const std::string& text, const Path& path) { return text + path.str(); }
inline std::string operator+(const char* text, const Path& path) { return text + path.str(); }
inline std::string operator+(const Path& path, const std::string& text) { return path.str() + text; }
inline std::string operator+(const Path& path, const char* text) { return path.str() + text; }

// Whether `name` is a name of the system's devices ("CON", "nul.txt", "LPT1 .log"), which
// no file can have: opening it opens the device.
bool IsDeviceName(std::string_view name);

}  // namespace qv
