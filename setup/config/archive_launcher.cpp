#include "setup/config/archive_launcher.h"

#include "setup/engine/dir_path.h"
#include "setup/engine/file_copy.h"
#include "setup/engine/file_io.h"
#include "setup/engine/progress.h"
#include "setup/session/file_system.h"

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

ArchiveCommand BuildArchiveCommand(const std::string& productDir, const std::string& destRoot,
                                   const std::string& productCode, const std::string& fileSpec) {
    const size_t first = fileSpec.find('\\');
    const std::string remainder = first == std::string::npos ? fileSpec : fileSpec.substr(first + 1);
    const size_t last = remainder.rfind('\\');
    const std::string subdirectory = last == std::string::npos ? std::string() : remainder.substr(0, last);

    ArchiveCommand command;
    command.targetDir = destRoot + "\\" + subdirectory;
    command.shownPath = destRoot + "\\" + remainder;
    const std::string program = productDir + productCode + ".exe " + " -silent " + " -over=all " + "-pass=";
    const std::string operands = " \"" + fileSpec + "\"" + " \"" + command.targetDir + "\"";
    command.commandLine = program + ArchivePassword(productCode) + operands;
    command.loggedLine = program + "********" + operands;
    return command;
}

bool RunArchiveProgram(Session& session, UserPort& port, const std::string& productDir, const std::string& destRoot,
                       const std::string& productCode, const std::string& fileSpec) {
    const ArchiveCommand command = BuildArchiveCommand(productDir, destRoot, productCode, fileSpec);
    if (!fs::Exists(command.targetDir)) MakeDirPath(command.targetDir);
    RunError error;
    if (!io::StartProgram(command.commandLine, /*hidden=*/true, error)) {
        port.LogStep("Could not start " + command.loggedLine + " (" + error.description + ")");
        return false;
    }
    port.LogStep("Started " + command.loggedLine);
    ShowFileName(session, port, command.shownPath);
    UpdateProgress(session, port, ClusterRounded(session, kBlockSize));
    port.DoEvents();
    return true;
}

}  // namespace qv
