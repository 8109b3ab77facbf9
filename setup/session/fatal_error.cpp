#include "setup/session/fatal_error.h"

#include <new>

#include "setup/session/res_strings.h"

namespace qv {

FatalError DescribeFatalError(const Session& session, std::exception_ptr exception) {
    RunError error{51, "Internal error"};
    std::string what = "an unknown exception";
    try {
        if (exception) std::rethrow_exception(exception);
    } catch (const std::bad_alloc&) {
        error = err::OutOfMemory();
        what = "out of memory";
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    FatalError fatal;
    fatal.box = Message(Res(session, Str::Error) + " : " + std::to_string(error.number) + "\r" + error.description,
                        kAppTitle, Buttons::Ok, Icon::Critical, 1);
    fatal.code = session.InstallRunning ? ExitCode::InstallFailed : ExitCode::StartupFailed;
    fatal.logLine = "Program error (" + what + "): the installer ends" +
                    (session.InstallRunning ? std::string(" during the install") : std::string());
    return fatal;
}

}  // namespace qv
