// Texts and small decisions of the dialogs that need no window: the about text, the
// drive error of the drive lists, the language that OK applies, the help file.
#pragma once

#include <string>

#include "setup/session/disk_utils.h"
#include "setup/session/session.h"

namespace qv {

// The about box text: the title, a blank, major "." minor, two blanks, "Build " and sub,
// two carriage returns, the copyright notice, two carriage returns.
std::string AboutText(const std::string& appTitle, const ReleaseParts& release, const std::string& copyright);

// The message of a drive list whose drive cannot be read: resource 112 "Drive:", a
// blank, the drive as the list shows it, two blanks and the error's description.
std::string DriveErrorText(const Session& session, const std::string& drive, const std::string& description);

// The entry of the language list that OK, Enter and a double-click apply: the selected
// one, the first when none is selected. A list without entries gives 0, which applies
// English (ApplyLanguage).
int LanguageToApply(int selectedIndex, int entryCount);

// The help file of the CD: SourceDir without a trailing "\" followed by "\qvinseng.hlp".
std::string HelpFilePath(const Session& session);

// The about box's help topic.
inline constexpr unsigned kAboutHelpContext = 1000;

}  // namespace qv
