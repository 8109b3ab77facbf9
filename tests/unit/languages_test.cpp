// The language list in its quoted-field form, and applying a choice.
#include <gtest/gtest.h>

#include "setup/mainwindow/unattended.h"
#include "setup/session/languages.h"
#include "setup/session/res_strings.h"
#include "setup/session/startup.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::TempTree;

TEST(QuotedFields, SplitsAsTheRecordsAreWritten) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitQuotedFields("\"English\",\"ENG\",0"), (V{"English", "ENG", "0"}));
    EXPECT_EQ(SplitQuotedFields("\"Fran, cais\" , \"FRA\" , 1000 "), (V{"Fran, cais", "FRA", "1000"}));
    EXPECT_EQ(SplitQuotedFields("\"Only\""), (V{"Only"}));
    EXPECT_EQ(SplitQuotedFields("\"\",\"\",\"\""), (V{"", "", ""}));
    EXPECT_EQ(SplitQuotedFields("\"Open quote"), (V{"Open quote"}));
}

TEST(LanguageList, ReadsEveryRecordInFileOrder) {
    TempTree tree;
    tree.write("qvlang.inf", "\"English\",\"ENG\",0\r\n\"Deutsch\",\"DEU\",1000\r\n\r\n\"Francais\",\"FRA\",2000\r\n");
    std::vector<LanguageRec> languages;
    ASSERT_TRUE(ReadLanguageList(tree.root(), languages));
    ASSERT_EQ(languages.size(), 3u);
    EXPECT_EQ(languages[1].Name, "Deutsch");
    EXPECT_EQ(languages[1].Code, "DEU");
    EXPECT_EQ(languages[1].ResOffset, 1000);
    EXPECT_EQ(languages[2].Name, "Francais");
    EXPECT_EQ(languages[2].ResOffset, 2000);
}

TEST(LanguageList, ShortAndBrokenRecordsStillGiveEntries) {
    TempTree tree;
    tree.write("qvlang.inf", "\"Short\",\"SHO\"\n\"Words\",\"WOR\",abc\n\"Huge\",\"HUG\",99999\n\"Last\",\"LAS\",7");
    std::vector<LanguageRec> languages;
    ASSERT_TRUE(ReadLanguageList(tree.root(), languages));
    ASSERT_EQ(languages.size(), 4u);
    EXPECT_EQ(languages[0].Name, "Short");
    EXPECT_EQ(languages[0].ResOffset, 0);
    EXPECT_EQ(languages[1].ResOffset, 0);
    EXPECT_EQ(languages[2].ResOffset, 0);  // past 16 bits: not taken
    EXPECT_EQ(languages[3].ResOffset, 7);  // no line end after the last record
}

TEST(LanguageList, NoMoreRecordsAreReadThanTheIndexReaches) {
    TempTree tree;
    std::string list;
    for (int i = 0; i < 40000; ++i) list += "\"L" + std::to_string(i) + "\",\"C" + std::to_string(i) + "\",0\r\n";
    tree.write("qvlang.inf", list);
    Session session;
    session.SourceDir = tree.root();
    ASSERT_TRUE(LoadLanguages(session));
    ASSERT_EQ(session.Languages.size(), 32768u);
    ApplyLanguage(session, 32767);  // the last one reachable: its code goes to the configuration
    EXPECT_EQ(session.Languages[static_cast<size_t>(session.LangIndex)].Code, "C32767");
}

TEST(LanguageList, MissingAndEmptyLists) {
    TempTree tree;
    Session session;
    session.SourceDir = tree.root();
    EXPECT_FALSE(LoadLanguages(session));  // no list: English at once
    ASSERT_EQ(session.Languages.size(), 1u);
    EXPECT_EQ(session.Languages[0].Name, "English");
    EXPECT_EQ(session.Languages[0].Code, "ENG");

    tree.write("qvlang.inf", "");
    EXPECT_TRUE(LoadLanguages(session));
    EXPECT_TRUE(session.Languages.empty());
    ApplyLanguage(session, 0);  // OK on an empty list takes English
    ASSERT_EQ(session.Languages.size(), 1u);
    EXPECT_EQ(session.Languages[0].Code, "ENG");
    EXPECT_EQ(session.LangOffset, 0);
}

TEST(LanguageList, ApplyingAChoiceOffsetsEveryStringAndMissingTextsFallBackToEnglish) {
    Session session;
    session.Languages = {{"English", "ENG", 0}, {"Deutsch", "DEU", 1000}, {"Other", "OTH", 2000}};
    ApplyLanguage(session, 1);
    EXPECT_EQ(session.LangIndex, 1);
    EXPECT_EQ(session.LangOffset, 1000);
    EXPECT_EQ(Res(session, Str::InstallToDirectory), "Zielverzeichnis:");
    EXPECT_EQ(Res(session, Str::ProductSize), "Produktgr\366\337e");  // in the ANSI code page
    ApplyLanguage(session, 2);  // a language without texts: English, never blank
    EXPECT_EQ(Res(session, Str::InstallToDirectory), "Install to Directory:");
    ApplyLanguage(session, 0);
    EXPECT_EQ(Res(session, Str::InstallToDirectory), "Install to Directory:");
    session.LangOffset = 32767;  // past the 16-bit id range: not a wrapped id, English
    EXPECT_EQ(Res(session, Str::Ok), "&OK");
}

TEST(LanguageList, TheSwitchNamesTheLanguageAndAnUnknownCodeIsRefused) {
    TempTree tree;
    tree.write("qvlang.inf", "\"English\",\"ENG\",0\r\n\"Deutsch\",\"DEU\",1000\r\n");
    Session session;
    session.SourceDir = tree.root();
    qvtest::RecordingPort port;
    StartupOptions options;
    options.languageCode = "FRA";
    EXPECT_FALSE(ApplyLanguageOption(session, port, options));
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text, "Load Error\r\nUnknown language \"FRA\" in /LANG=.");

    options.languageCode = "deu";
    ASSERT_TRUE(ApplyLanguageOption(session, port, options));
    EXPECT_EQ(session.LangOffset, 1000);
    EXPECT_EQ(port.steps, (std::vector<std::string>{"Language: Deutsch (DEU)"}));
}

}  // namespace
}  // namespace qv
