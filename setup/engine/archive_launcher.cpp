#include "setup/engine/archive_launcher.h"

#include "setup/engine/file_copy.h"
#include "setup/engine/progress.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/process.h"

namespace qv {
namespace {

// The archive's password, put together from the product code each time it is needed.
std::string ArchivePassword(const std::string& productCode) {
    std::string password;
    password.reserve(productCode.size() * 2 + 1);
    password += productCode;
    password += productCode.substr(0, 1);
    password += productCode;
    return password;
}

}  // namespace

ArchiveCommand BuildArchiveCommand(const std::string& productDir, const Path& destRoot,
                                   const std::string& productCode, const std::string& fileSpec) {
    const size_t first = fileSpec.find('\\');
    const std::string remainder = first == std::string::npos ? fileSpec : fileSpec.substr(first + 1);
    const size_t last = remainder.rfind('\\');
    const std::string subdirectory = last == std::string::npos ? std::string() : remainder.substr(0, last);

    ArchiveCommand command;
    command.targetDir = destRoot.str() + "\\" + subdirectory;
    command.targetFolder = subdirectory.empty() ? destRoot : destRoot.Join(subdirectory).value_or(Path());
    command.shownPath = destRoot.Join(remainder).value_or(Path());
    command.program = productDir + productCode + ".exe";
    const std::string program = command.program + " " + " -silent " + " -over=all " + "-pass=";
    const std::string operands = " \"" + fileSpec + "\"" + " \"" + command.targetDir + "\"";
    command.commandLine = program + ArchivePassword(productCode) + operands;
    command.loggedLine = program + "********" + operands;
    return command;
}

bool RunArchiveProgram(Session& session, UserPort& port, InstallJournal& journal, const ProductRec& product,
                       const Path& destRoot, const ListEntry& entry) {
    const ArchiveCommand command = BuildArchiveCommand(product.ProductDir, destRoot, product.ProductCode, entry.spec);
    RunError error;
    if (!command.Confined()) {
        port.LogStep("Not started: " + command.loggedLine + " (its file lies outside the install directory)");
        return false;
    }
    // The program reports a folder it cannot write to, and writes over what is there.
    if (!fs::Exists(command.targetFolder)) PassOver(journal.MakeFolders(command.targetFolder, error));
    PassOver(journal.PrepareFile(command.shownPath, error));
    if (!StartProgram(command.program, command.commandLine, /*hidden=*/true, error)) {
        journal.Restore(command.shownPath);
        port.LogStep("Could not start " + command.loggedLine + " (" + error.description + ")" + SystemCause(error));
        return false;
    }
    RecordedFile file;
    file.path = command.shownPath;
    file.size = entry.size;
    file.checksum = entry.checksum;
    file.product = product.ProductCode;
    file.spec = entry.spec;
    file.archive = true;
    journal.Wrote(file);
    port.LogStep("Started " + command.loggedLine);
    ShowFileName(session, port, command.shownPath);
    UpdateProgress(session, port, RoundToCluster(session, kBlockSize));
    port.DoEvents();
    return true;
}

}  // namespace qv
