// The install types of the main window's Install menu: the entry's design caption with
// its Ctrl shortcut, and the name that a product's ModuleType must equal to be listed.
#pragma once

#include <string>

namespace qv {

inline constexpr int kInstallTypeCount = 7;
// Entry 0 lists every product; entry 1 is the type listed at start-up.
inline constexpr int kAllProductsType = 0;
inline constexpr int kDefaultInstallType = 1;

struct InstallType {
    const char* menuCaption;  // as designed, with its mnemonic marker
    char shortcutKey;         // the letter of its Ctrl shortcut
    const char* name;         // the caption of lblInstallSpec and the ModuleType it lists
};

// The entry at index 0 to 6; nullptr for any other index.
const InstallType* FindInstallType(int index);

// The Install menu entry that a product of this ModuleType makes visible (exact,
// case-sensitive comparison); 0 when it makes none visible. Entry 0 is never shown.
int RevealedInstallType(const std::string& moduleType);

}  // namespace qv
