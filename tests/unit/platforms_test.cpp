#include <gtest/gtest.h>

#include "setup/session/platforms.h"

namespace qv {
namespace {

TEST(Platforms, EveryRowIsCopiedWhole) {
    Session s;
    SetDbPlatform(s, *FindDbPlatform("MSS"));
    EXPECT_EQ(s.DbPlatformName, "Microsoft SQL Server");
    EXPECT_EQ(s.DbConfigName, "MICROSFT");
    SetDbPlatform(s, *FindDbPlatform("DB2"));
    EXPECT_EQ(s.DbPlatformCode, "DB2");
    EXPECT_EQ(s.DbPlatformName, "DB2/OS390 via DB2 Connect");
    EXPECT_EQ(s.DbConfigName, "DB2ODBC");
    EXPECT_STREQ(FindDbPlatform("DB4")->name, "DB2/400");
    EXPECT_STREQ(FindDbPlatform("DBX")->name, "DB2/UNIX");
}

TEST(Platforms, CodesAreComparedExactly) {
    EXPECT_EQ(FindDbPlatform("ora"), nullptr);
    EXPECT_EQ(FindDbPlatform("XYZ"), nullptr);
    EXPECT_EQ(FindDbPlatform(""), nullptr);
    EXPECT_EQ(DbPlatforms().size(), 8u);
}

TEST(Platforms, CaptionNamesThePlatform) {
    Session s;
    SetDbPlatform(s, *FindDbPlatform("ORA"));
    EXPECT_EQ(MainWindowCaption(s), "Marrowvale CD-ROM Installation - Oracle");
}

}  // namespace
}  // namespace qv
