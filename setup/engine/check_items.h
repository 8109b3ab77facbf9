// The checks of single items that the survey of the CD and the survey of the record share:
// a configuration entry, a database code, a shortcut, each as it should be against what is
// on disk.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "setup/engine/install_check.h"

namespace qv {

// The lines of a configuration file, read without telling anyone; none when it is missing.
std::vector<std::string> ConfigLinesOf(const std::string& path);

// A workstation configuration entry of `file` (whose lines are given) against its value.
CheckItem EntryItem(const Path& file, const std::vector<std::string>& lines, const std::string& section,
                    const std::string& key, const std::string& expected);

// A database code in section "dbcodes" of `file` against its value.
CheckItem DbCodeItem(const Path& file, const std::string& key, const std::string& expected);

// A shortcut of `group` against what it should start; common as the library takes it.
CheckItem ShortcutItem(ShortcutLibrary& shortcuts, int32_t common, const std::string& group,
                       const GroupShortcut& shortcut);

// The copies the system puts in the place of files at the next restart, by the key of the
// file they replace: read once for a whole survey. Where two replace one file, the last
// does, as at the restart.
std::map<std::string, Path> ReplacementsAtRestart();

// A file that another program held open while it was installed is as the install leaves it
// once the machine restarts, when the copy that then takes its place is: an item that is not
// intact becomes pending, not drifted, where its copy in `later` holds what it should.
void JudgePendingReplacement(CheckItem& item, const std::map<std::string, Path>& later);

}  // namespace qv
