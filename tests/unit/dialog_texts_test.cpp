// The texts and small decisions of the dialogs: the about text, the drive error, the
// language that OK applies, the help file's path and the program group dialog's
// connectivity directory.
#include <gtest/gtest.h>

#include "setup/dialogs/dialog_texts.h"
#include "setup/session/languages.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

TEST(DialogTexts, AboutTextForTheReleaseText) {
    EXPECT_EQ(AboutText("Marrowvale CD-ROM Installation", SplitReleaseText("Release8"), "Copyright (C) Marrowvale"),
              "Marrowvale CD-ROM Installation 8.00  Build 00\r\rCopyright (C) Marrowvale\r\r");
}

TEST(DialogTexts, DriveErrorNamesTheDriveAsTheListShowsIt) {
    Session session;
    EXPECT_EQ(DriveErrorText(session, "q: [\\\\srv\\gone]", "Path not found"),
              "Drive: q: [\\\\srv\\gone]  Path not found");
}

TEST(DialogTexts, LanguageToApplyFallsBackToTheFirstEntry) {
    EXPECT_EQ(LanguageToApply(2, 3), 2);
    EXPECT_EQ(LanguageToApply(-1, 3), 0);  // nothing selected
    EXPECT_EQ(LanguageToApply(5, 3), 0);

    // A list without records: English is applied.
    Session session;
    ApplyLanguage(session, LanguageToApply(-1, 0));
    ASSERT_EQ(session.Languages.size(), 1u);
    EXPECT_EQ(session.Languages[0].Code, "ENG");
    EXPECT_EQ(session.LangOffset, 0);
}

TEST(DialogTexts, HelpFileLiesInTheSourceDirectory) {
    Session session;
    session.SourceDir = "D:\\cd\\";
    EXPECT_EQ(HelpFilePath(session), "D:\\cd\\qvinseng.hlp");
    session.SourceDir = "D:\\cd";
    EXPECT_EQ(HelpFilePath(session), "D:\\cd\\qvinseng.hlp");
}

TEST(GroupDialog, ConnectivityDirectoryByPlatform) {
    Session session;
    session.InstallDir = "n:\\qv";
    session.DbPlatformCode = "ORA";
    EXPECT_EQ(InitialConnectivityDir(session), "c:\\orawin\\bin");
    EXPECT_TRUE(ConnectivityControlsEnabled(session));
    session.DbPlatformCode = "XYZ";
    EXPECT_EQ(InitialConnectivityDir(session), "c:\\");
    // The platform whose client programs the suite brings along: its own client folder,
    // not the user's choice.
    session.DbPlatformCode = "DB4";
    EXPECT_EQ(InitialConnectivityDir(session), "n:\\qv\\bin\\client\\winx86");
    EXPECT_FALSE(ConnectivityControlsEnabled(session));
}

TEST(GroupDialog, ConnectivityDirectoryIsLookedUpAsASearchPattern) {
    qvtest::TempTree tree;
    tree.write("sqlbase\\bin\\dbnt.dll", "x");
    EXPECT_TRUE(ConnectivityDirFound(tree.path("sqlbase")));
    EXPECT_TRUE(ConnectivityDirFound(tree.path("sqlbase\\bin\\dbnt.dll")));  // a file matches too
    EXPECT_TRUE(ConnectivityDirFound(tree.path("sql*")));
    EXPECT_TRUE(ConnectivityDirFound(tree.path("sqlbase") + "\\"));   // the folder's entries
    EXPECT_FALSE(ConnectivityDirFound(tree.path("sqlbase\\empty")));
    EXPECT_FALSE(ConnectivityDirFound(tree.path("ora*")));
    EXPECT_FALSE(ConnectivityDirFound(""));
}

}  // namespace
}  // namespace qv
