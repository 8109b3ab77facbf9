// The texts and small decisions of the dialogs: the about text, the drive error, the
// language that OK applies and the help file's path.
#include <gtest/gtest.h>

#include "setup/dialogs/dialog_texts.h"
#include "setup/session/languages.h"

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

}  // namespace
}  // namespace qv
