#include "setup/session/platforms.h"

#include <array>

#include "setup/session/res_strings.h"

namespace qv {
namespace {

constexpr std::array<DbPlatform, 8> kPlatforms = {{
    {"SBS", "SQLBase", "SQLBASE"},
    {"ORA", "Oracle", "ORACLE"},
    {"INF", "Informix", "INFORMIX"},
    {"DBX", "DB2/UNIX", "DB2UNIX"},
    {"SYB", "Sybase", "SYBASE"},
    {"MSS", "Microsoft SQL Server", "MICROSFT"},
    {"DB4", "DB2/400", "DB2400"},
    {"DB2", "DB2/OS390 via DB2 Connect", "DB2ODBC"},
}};

}  // namespace

std::span<const DbPlatform> DbPlatforms() { return kPlatforms; }

const DbPlatform* FindDbPlatform(const std::string& code) {
    for (const DbPlatform& p : kPlatforms)
        if (code == p.code) return &p;
    return nullptr;
}

void SetDbPlatform(Session& session, const DbPlatform& platform) {
    session.DbPlatformCode = platform.code;
    session.DbPlatformName = platform.name;
    session.DbConfigName = platform.configName;
}

std::string MainWindowCaption(const Session& session) {
    return Res(session, Str::AppTitle) + " - " + session.DbPlatformName;
}

}  // namespace qv
