// Starting the self-extracting archive program of a compressed product for one entry of
// its file list. The program is "<product directory><product code>.exe" on the CD; it is
// started hidden and not waited for.
#pragma once

#include <string>

#include "setup/engine/file_list.h"
#include "setup/engine/install_journal.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

struct ArchiveCommand {
    std::string program;      // the archive program's file: product directory + code + ".exe"
    std::string commandLine;  // what the archive program is started with
    std::string loggedLine;   // the same with the password replaced by asterisks
    std::string targetDir;    // destination root + "\" + the entry's subdirectory, as the command line has it
    Path targetFolder;        // that folder
    Path shownPath;           // destination root + "\" + the spec without its first component
    // The spec names a place below the destination root (false: the paths are empty).
    bool Confined() const { return !targetFolder.empty() && !shownPath.empty(); }
};

// The command line that makes the archive program put the entry fileSpec into its target
// directory: the program path, " -silent ", " -over=all ", "-pass=" and the password, then
// the quoted spec and the quoted target directory.
ArchiveCommand BuildArchiveCommand(const std::string& productDir, const Path& destRoot,
                                   const std::string& productCode, const std::string& fileSpec);

// Starts the archive program for one entry: makes room in the journal for the file it
// puts in place (an earlier one is moved aside) and its folder, starts it hidden without
// waiting, shows the entry in the progress window, counts one cluster-rounded block of
// progress and lets pending events run once. The file is recorded as the list describes
// it. False, with nothing counted, when the program cannot be started. Either way the
// install log gets the command line, without the password.
bool RunArchiveProgram(Session& session, UserPort& port, InstallJournal& journal, const ProductRec& product,
                       const Path& destRoot, const ListEntry& entry);

}  // namespace qv
