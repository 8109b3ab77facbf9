// The Apps & features entry of an install directory, and what removal needs kept in the
// directory itself. One entry per install directory, under the machine's Uninstall key, or
// under the user's where the run cannot write the machine's; a later install into the same
// directory updates it. Its command lines start the program kept in the directory, so that
// removal needs no CD, and carry the scope switch the install was given.
#pragma once

#include <string>
#include <vector>

#include "setup/engine/install_journal.h"
#include "setup/engine/install_record.h"
#include "setup/session/registry.h"
#include "setup/session/user_port.h"

namespace qv {

// The key below which every program's entry lies.
inline constexpr const char* kUninstallKeyRoot = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The entry's key name below kUninstallKeyRoot: the same for every spelling of the
// directory that differs only in case or a trailing "\".
std::string UninstallKeyName(const Path& installDir);

// Where the install keeps the program and its two libraries: installDir\setup\uninstall.
Path UninstallerFolder(const Path& installDir);

// The entry's values for this record; date is the day of the install (YYYYMMDD).
std::vector<reg::Value> UninstallValues(const InstallRecord& record, const std::string& date);

// Copies the running program and its two libraries into UninstallerFolder, each listed in
// the journal and recorded. Where the program's folder is unknown (natively) or is that
// folder already, nothing is copied.
void KeepUninstaller(InstallJournal& journal, UserPort& port, const Path& installDir);

// Writes the entry for the journal's record (listed in the journal first, and recorded):
// the machine's, else the user's; only the machine's for a record of /ALLUSERS, only the
// user's for one of /CURRENTUSER. The log says which, or why none.
void RegisterUninstallEntry(InstallJournal& journal, UserPort& port, const std::string& date);

// Whether the session's scope can be had: a run given /ALLUSERS that cannot write the
// machine's Uninstall key is told so (a start-up failure, never a quiet fallback to the
// user's entry), and false is returned.
bool CheckInstallScope(const Session& session, UserPort& port);

// The day of a date-time value as the entry's InstallDate has it: "20261208".
std::string InstallDateOf(double dateTime);

}  // namespace qv
