// Answer files: the answers a person gave in the windows, kept so that a run on another
// workstation can give them again. An INI file with one section, [Setup], and one key per
// switch that answers what the windows ask, named as the switch without its "/" (the
// switch table says which: LANG, DB, TYPE, PRODUCTS, DIR, GROUP, NOGROUP, DBDIR and CRC).
// A switch without a value is 1 when given and 0 when not.
//
// A value is taken as written, every character literally and never read again as a
// command line; surrounding quotes are stripped, as the Windows profile calls strip them.
// A value the format would not carry as it is (blanks or a quote at either end) is
// written in double quotes, so that what is written is read back to the same answers.
#pragma once

#include <string>

#include "setup/session/command_line.h"
#include "setup/session/run_error.h"

namespace qv {

inline constexpr const char* kAnswerSection = "Setup";

// Writes the answers that options hold (those AnswerOf gives, in the order of the switch
// table) with the profile calls into a scratch file beside path, which then takes path's
// place: the file is never half written. A relative path is taken against the current
// directory.
[[nodiscard]] bool WriteAnswerFile(const std::string& path, const StartupOptions& answers, RunError& error);

// Applies the answers of an answer file to options, each as its switch would be, in file
// order. False, with options unchanged and `problem` naming the file (and the key), when
// the file is missing or unreadable, has no [Setup] section, holds an unknown key or a
// flag that is neither 0 nor 1, or a value its switch refuses.
bool ReadAnswerFile(const std::string& path, StartupOptions& options, std::string& problem);

}  // namespace qv
