// A shortcut library for tests: it keeps the shortcuts it is asked to make, by group and
// name, and reads them back as the shell would. Where it names a Programs folder (the
// user's), it also writes each shortcut's link file there, in its group's folder.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "setup/engine/shortcut_library.h"
#include "setup/session/file_system.h"

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
        if (common == 0 && !userPrograms.empty()) {
            qv::RunError ignored;
            if (std::FILE* link = qv::fs::OpenFile(qv::GroupFolderOf(userPrograms, group) + "\\" + name + ".LNK", "wb", ignored))
                std::fclose(link);
        }
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
