#include <windows.h>

#include "setup/session/command_line.h"
#include "setup/session/session.h"
#include "setup/session/startup.h"
#include "setup/session/user_port_win.h"
#include "setup/setup_app.h"

namespace qv {

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
    Session session;
    WinUserPort port;
    StartupOptions options;
    if (!ParseCommandLine(session, port, arguments, options)) return 1;
    LoadLanguages(session);
    PrepareCatalogue(session, port, options.dbPlatformCode);
    return 0;
}

}  // namespace qv
