#include "setup/config/transfer_config.h"

#include <cstdio>

#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/text_encoding.h"

namespace qv {

Path TransferConfigPath(const Session& session) {
    const Path temp = TempDirPath(session);
    return temp.empty() ? Path() : *temp.Join(kTransferConfigName);
}

bool WriteTransferConfig(const Session& session, const Path& path, RunError& error) {
    const bool db2 = session.DbPlatformCode == "DB4" || session.DbPlatformCode == "DB2";
    // The transfer programs read the file in the legacy ANSI code page: a directory it cannot
    // hold is written in its short form, else as it is.
    std::string installDir;
    if (!ToLegacyPath(session.InstallDir, installDir)) installDir = session.InstallDir;
    const std::string text = "SET RDBMS=" + session.DbPlatformCode + "\r\n" + "SET QVHLD=" + installDir + "\r\n" +
                             (db2 ? "SET XFRMTH=MSFTDB2" : "SET XFRMTH=MSFT") + "\r\n";
    std::FILE* f = fs::CreateFileToWrite(path, error);
    if (!f) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) == 0 && written) return true;
    error = err::DeviceIo();
    return false;
}

}  // namespace qv
