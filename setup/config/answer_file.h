// Answer files: the answers a person gave in the windows, kept so that a run on another
// workstation can give them again. An INI file with one section, [Setup], and one key per
// switch, named as the switch without its "/": LANG, DB, TYPE, PRODUCTS, DIR, GROUP,
// NOGROUP, DBDIR and CRC. A switch without a value is 1 when given and 0 when not.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "setup/session/run_error.h"

namespace qv {

inline constexpr const char* kAnswerSection = "Setup";

// The answers of one install.
struct Answers {
    std::string language;              // LANG
    std::string platform;              // DB
    int installType = 1;               // TYPE
    std::vector<std::string> products;  // PRODUCTS
    std::string installDir;            // DIR
    bool crcCheck = false;             // CRC
    bool groupKnown = false;           // the group's answers are known yet
    bool noGroup = false;              // NOGROUP
    std::string groupTitle;            // GROUP
    std::string connectivityDir;       // DBDIR
};

// Writes the answers with the profile calls into a scratch file beside path, which then
// takes path's place: the file is never half written. Keys of the group are written once
// they are known.
bool WriteAnswerFile(const std::string& path, const Answers& answers, RunError& error);

// The switch words an answer file stands for ("/DB=ORA", "/CRC"), in file order. False,
// with `problem` naming the file (and the key), when the file is missing or unreadable,
// has no [Setup] section, or holds an unknown key or a flag that is neither 0 nor 1. The
// values themselves are judged as the switches' values are.
bool ReadAnswerFile(const std::string& path, std::vector<std::pair<std::string, std::string>>& words,
                    std::string& problem);

}  // namespace qv
