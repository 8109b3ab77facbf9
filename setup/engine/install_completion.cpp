#include "setup/engine/install_completion.h"

#include "setup/config/config_profile.h"
#include "setup/config/transfer_config.h"
#include "setup/session/file_system.h"
#include "setup/session/text_util.h"

namespace qv {

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

void MakeGroupShortcuts(ShortcutLibrary& library, const std::string& destRoot, const GroupChoice& choice) {
    const std::string bin = destRoot + "\\bin\\client\\winx86";
    const std::string setup = destRoot + "\\setup";
    const std::string& group = choice.groupTitle;
    library.OleInit();
    library.MakeShortCut(1, group, "Setup Workstation", bin + "\\qvcfg.exe", bin, "");
    library.MakeShortCut(1, group, "Uninstall Workstation", bin + "\\qvcfg.exe", bin, "-clean");
    library.MakeShortCut(1, group, "Database Setup", setup + "\\dbsetup\\setup.exe", setup + "\\dbsetup", "");
    library.MakeShortCut(1, group, "Data Ferry", bin + "\\qvdft.exe", choice.connectivityDir, "");
    library.MakeShortCut(1, group, "Server Transfer", bin + "\\qvtrans", bin, "");
    library.OleUninit();
}

CompletionOutcome FinishInstall(Session& session, UserPort& port, CompletionServices& services,
                                const std::string& destRoot, bool supplyChain) {
    port.UnloadProgress();
    port.DoEvents();

    const std::string supplyChainSetup = destRoot + "\\setup.exe";
    if (supplyChain && fs::IsFile(supplyChainSetup) && services.StartProgram(supplyChainSetup))
        return CompletionOutcome::HandedOver;

    GroupChoice choice;
    if (session.ToolsInstalled) {
        choice = services.ShowGroupDialog();
        session.CreateGroup = choice.createGroup;
        WriteTransferConfig(session, session.TempDir);
        WriteWorkstationConfig(session, port, session.InstallDir + "\\setup\\" + kWorkstationConfigName,
                               choice.connectivityDir);
    } else {
        session.CreateGroup = false;
    }

    if (session.CreateGroup) {
        MakeGroupShortcuts(services.Shortcuts(), destRoot, choice);
        services.CloseWaitWindow();
    }
    return CompletionOutcome::Returned;
}

}  // namespace qv
