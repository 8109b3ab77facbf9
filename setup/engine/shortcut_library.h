// The shortcut library as the installer sees it: the three calls of qvole.dll. A library
// that cannot be loaded makes every call do nothing. The results go to the install log.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

enum class ShortcutResult { Made, NotMade, NoLibrary };

class ShortcutLibrary {
public:
    virtual ~ShortcutLibrary() = default;
    virtual void OleInit() = 0;
    virtual ShortcutResult MakeShortCut(int32_t common, const std::string& group, const std::string& name,
                              const std::string& target, const std::string& workdir, const std::string& args) = 0;
    virtual void OleUninit() = 0;
};

// qvole.dll, bound by name at the first call and kept loaded until the program ends.
// Windows only (shortcut_library_win.cpp).
ShortcutLibrary& QvoleLibrary();

}  // namespace qv
