#include "setup/config/transfer_config.h"

#include <cstdio>

#include "setup/session/file_system.h"

namespace qv {

void WriteTransferConfig(const Session& session, const std::string& dir) {
    std::string path = dir;
    if (path.empty() || path.back() != '\\') path += '\\';
    path += "qvxfr.cfg";
    const bool db2 = session.DbPlatformCode == "DB4" || session.DbPlatformCode == "DB2";
    const std::string text = "SET RDBMS=" + session.DbPlatformCode + "\r\n" + "SET QVHLD=" + session.InstallDir +
                             "\r\n" + (db2 ? "SET XFRMTH=MSFTDB2" : "SET XFRMTH=MSFT") + "\r\n";
    std::FILE* f = fs::OpenFile(path, "wb");
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

}  // namespace qv
