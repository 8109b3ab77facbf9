#include <windows.h>

#include <commctrl.h>

#include "setup/dialogs/confirmation.h"
#include "setup/dialogs/dir_seek.h"
#include "setup/dialogs/form.h"
#include "setup/dialogs/frm_about.h"
#include "setup/dialogs/frm_lang.h"
#include "setup/dialogs/frm_wait.h"
#include "setup/dialogs/get_prod_form.h"
#include "setup/dialogs/install_status.h"
#include "setup/mainwindow/qv_setup.h"
#include "setup/session/command_line.h"
#include "setup/session/languages.h"
#include "setup/session/session.h"
#include "setup/session/startup.h"
#include "setup/session/user_port_win.h"
#include "setup/setup_app.h"

namespace qv {
namespace {

// The installer: the session and every window, each existing once and created on first use.
class SetupApp {
public:
    int Run(const std::string& arguments) {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);

        if (!ParseCommandLine(session_, port_, arguments, options_)) return 1;
        if (LoadLanguages(session_)) {
            lang_.Show();
        } else {
            // No language list on the CD: English, without asking.
            ApplyLanguage(session_, 0);
            LanguageChosen();
        }
        return ui::RunMessageLoop();
    }

private:
    // The language is applied: the main window loads (the whole start-up), the language
    // window goes, and the main window is shown.
    void LanguageChosen() {
        main_.Load();
        ui::PumpPendingMessages();
        lang_.Unload();
        main_.Show();
        ui::SetBusy(false);
    }

    static void Exit() { PostQuitMessage(0); }

    Session session_;
    WinUserPort port_;
    StartupOptions options_;
    DirSeek dirSeek_{session_};
    GetProdForm getProdForm_{session_};
    Confirmation confirmation_{session_};
    InstallStatus installStatus_{session_};
    FrmAbout about_{session_};
    FrmWait wait_{session_};
    QVSetup main_{session_, options_, {dirSeek_, getProdForm_, confirmation_, installStatus_, about_}, &Exit};
    FrmLang lang_{session_, [this] { LanguageChosen(); }, &Exit};
};

}  // namespace

std::string ProgramArguments() {
    const char* p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

int RunSetup(const std::string& arguments) {
    SetupApp app;
    return app.Run(arguments);
}

}  // namespace qv
