#include "setup/engine/install_completion.h"

#include "setup/config/config_profile.h"
#include "setup/config/transfer_config.h"
#include "setup/session/file_system.h"
#include "setup/session/process.h"
#include "setup/session/text_util.h"

namespace qv {

bool CompletionServices::StartProgram(const std::string& path, RunError& error) {
    return qv::StartProgram(path, "\"" + path + "\"", /*hidden=*/false, error);
}

std::string DefaultConnectivityDir(const Session& session) {
    static const struct {
        const char* code;
        const char* dir;
    } kDefaults[] = {
        {"SBS", "c:\\sqlbase"},    {"ORA", "c:\\orawin\\bin"}, {"INF", "c:\\informix\\bin"},
        {"DB4", ""},               {"DBX", "c:\\db2cae\\bin"}, {"SYB", "c:\\sql10\\dll"},
        {"MSS", "c:\\mssql\\binn"}, {"DB2", "c:\\sqllib\\bin"},
    };
    const std::string code = UpperAscii(session.DbPlatformCode);
    for (const auto& row : kDefaults)
        if (code == row.code) return row.dir;
    return "c:\\";
}

namespace {
// The platform whose client programs come with the suite, below the install directory.
bool ClientComesWithSuite(const Session& session) { return UpperAscii(session.DbPlatformCode) == "DB4"; }
}  // namespace

std::string InitialConnectivityDir(const Session& session) {
    if (ClientComesWithSuite(session)) return session.InstallDir + "\\bin\\client\\winx86";
    return DefaultConnectivityDir(session);
}

bool ConnectivityControlsEnabled(const Session& session) { return !ClientComesWithSuite(session); }

bool ConnectivityDirFound(const std::string& text) { return fs::MatchesAnyEntry(text); }

std::vector<GroupShortcut> GroupShortcuts(const std::string& destRoot, const GroupChoice& choice) {
    const std::string bin = destRoot + "\\bin\\client\\winx86";
    const std::string setup = destRoot + "\\setup";
    return {
        {"Setup Workstation", bin + "\\qvcfg.exe", bin, ""},
        {"Uninstall Workstation", bin + "\\qvcfg.exe", bin, "-clean"},
        {"Database Setup", setup + "\\dbsetup\\setup.exe", setup + "\\dbsetup", ""},
        {"Data Ferry", bin + "\\qvdft.exe", choice.connectivityDir, ""},
        {"Server Transfer", bin + "\\qvtrans", bin, ""},  // the name goes without its extension
    };
}

void MakeGroupShortcuts(ShortcutLibrary& library, UserPort& port, const std::string& destRoot,
                        const GroupChoice& choice) {
    const std::string& group = choice.groupTitle;
    const OleSession ole(library);
    for (const GroupShortcut& s : GroupShortcuts(destRoot, choice)) {
        const ShortcutResult result = library.MakeShortCut(1, group, s.name, s.target, s.workdir, s.args);
        port.LogStep("Shortcut \"" + group + "\\" + s.name + "\" to " + s.target + ": " +
                     (result == ShortcutResult::Made      ? "made"
                      : result == ShortcutResult::NotMade ? "not made"
                                                          : "not made, qvole.dll cannot be loaded"));
    }
}

CompletionOutcome FinishInstall(Session& session, UserPort& port, CompletionServices& services,
                                const std::string& destRoot, bool supplyChain) {
    port.UnloadProgress();
    port.DoEvents();

    const std::string supplyChainSetup = destRoot + "\\setup.exe";
    if (supplyChain && fs::IsFile(supplyChainSetup)) {
        RunError error;
        if (services.StartProgram(supplyChainSetup, error)) {
            port.LogStep("Started " + supplyChainSetup + ": the installer ends here");
            return CompletionOutcome::HandedOver;
        }
        port.LogStep("Could not start " + supplyChainSetup + " (" + error.description + ")" + SystemCause(error));
    }

    GroupChoice choice;
    if (session.ToolsInstalled) {
        choice = services.ShowGroupDialog();
        session.CreateGroup = choice.createGroup;
        port.LogStep(std::string("Program group: ") +
                     (choice.createGroup ? "\"" + choice.groupTitle + "\"" : std::string("none")) +
                     ", connectivity directory " + choice.connectivityDir);
        const std::string transfer = TransferConfigPath(session.TempDir);
        RunError error;
        if (WriteTransferConfig(session, session.TempDir, error))
            port.LogStep("Wrote " + transfer);
        else
            port.LogStep("Could not write " + transfer + " (" + error.description + ")" + SystemCause(error));
        const std::string workstation = session.InstallDir + "\\setup\\" + kWorkstationConfigName;
        port.LogStep((WriteWorkstationConfig(session, port, workstation, choice.connectivityDir)
                          ? "Wrote "
                          : "Could not write (missing or unreadable) ") +
                     workstation);
    } else {
        session.CreateGroup = false;
    }

    if (session.CreateGroup) {
        MakeGroupShortcuts(services.Shortcuts(), port, destRoot, choice);
        services.CloseWaitWindow();
    }
    return CompletionOutcome::Returned;
}

}  // namespace qv
