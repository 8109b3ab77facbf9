// A shortcut library for tests: it keeps the shortcuts it is asked to make, by group and
// name, and reads them back as the shell would.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "setup/engine/shortcut_library.h"

namespace qvtest {

struct FakeShortcuts : qv::ShortcutLibrary {
    std::vector<std::string> calls;
    std::map<std::string, qv::ShortcutTarget> made;  // "<group>\<name>"
    std::string failing = "Server Transfer";         // the name whose shortcut is not made
    std::string userPrograms;                        // the user's Programs folder; empty: none

    void OleInit() override { calls.push_back("OleInit"); }
    qv::ShortcutResult MakeShortCut(int32_t common, const std::string& group, const std::string& name,
                                    const std::string& target, const std::string& workdir,
                                    const std::string& args) override {
        calls.push_back(std::to_string(common) + "|" + group + "|" + name + "|" + target + "|" + workdir + "|" + args);
        if (name == failing) return qv::ShortcutResult::NotMade;
        made[group + "\\" + name] = {target, workdir, args};
        return qv::ShortcutResult::Made;
    }
    void OleUninit() override { calls.push_back("OleUninit"); }
    std::optional<qv::ProgramsFolder> FindProgramsFolder(int32_t common) override {
        if (common || userPrograms.empty()) return std::nullopt;
        return qv::ProgramsFolder{userPrograms, false};
    }
    std::optional<qv::ShortcutTarget> ReadShortCut(int32_t, const std::string& group,
                                                   const std::string& name) override {
        const auto found = made.find(group + "\\" + name);
        if (found == made.end()) return std::nullopt;
        return found->second;
    }
};

}  // namespace qvtest
