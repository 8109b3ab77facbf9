// Answer files: written with the answers of an install, read back as the switches they
// stand for, and refused, naming the file and the key, when they cannot be taken.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "setup/config/answer_file.h"
#include "setup/session/command_line.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

TEST(AnswerFile, TheAnswersComeBackAsTheSwitchesTheyStandFor) {
    qvtest::TempTree tree;
    StartupOptions answers;
    answers.languageCode = "DEU";
    answers.dbPlatformCode = "ORA";
    answers.installType = 4;
    answers.productsGiven = true;
    answers.productCodes = {"QVT", "GL"};
    answers.installDir = "c:\\my qv";
    answers.crcCheck = true;
    RunError error;
    ASSERT_TRUE(WriteAnswerFile(tree.path("a.inf"), answers, error));
    answers.groupGiven = true;
    answers.groupTitle = "Marrowvale";
    answers.dbDir = "c:\\orawin\\bin";
    ASSERT_TRUE(WriteAnswerFile(tree.path("a.inf"), answers, error));  // again, with the group
    EXPECT_FALSE(tree.exists("a.inf.~new"));

    std::string problem;
    StartupOptions options;
    ASSERT_TRUE(ReadAnswerFile(tree.path("a.inf"), options, problem)) << problem;
    EXPECT_EQ(options.languageCode, "DEU");
    EXPECT_EQ(options.dbPlatformCode, "ORA");
    EXPECT_EQ(options.installType, 4);
    EXPECT_EQ(options.productCodes, (std::vector<std::string>{"QVT", "GL"}));
    EXPECT_EQ(options.installDir, "c:\\my qv");
    EXPECT_TRUE(options.crcCheck);
    EXPECT_EQ(options.groupTitle, "Marrowvale");
    EXPECT_FALSE(options.noGroup);
    EXPECT_EQ(options.dbDir, "c:\\orawin\\bin");

    // A switch on the command line wins over the file, the group's included.
    ASSERT_TRUE(ReadSwitches("/DIR=d:\\qv /NOGROUP", options, problem)) << problem;
    EXPECT_EQ(options.installDir, "d:\\qv");
    EXPECT_TRUE(options.noGroup);
    EXPECT_FALSE(options.groupGiven);
}

// Whatever the answers hold, reading the file gives them again: blanks and quotes at the
// ends of a title, a quote inside, an empty title; empty product codes and blank values,
// which no switch could take, are left out.
TEST(AnswerFile, AwkwardValuesSurviveTheRoundTrip) {
    qvtest::TempTree tree;
    for (const std::string title : {" lead", "trail ", "\"quoted\"", "'single'", "x\" /PLAN \"", "\"", "", "a=b;c"}) {
        SCOPED_TRACE(title);
        StartupOptions answers;
        answers.languageCode = "  ";
        answers.productsGiven = true;
        answers.productCodes = {"A", "", " B "};
        answers.installDir = "'c:\\Program Files\\qv'";
        answers.groupGiven = true;
        answers.groupTitle = title;
        answers.dbDir = " \t";
        RunError error;
        ASSERT_TRUE(WriteAnswerFile(tree.path("a.inf"), answers, error));

        StartupOptions expected = answers;
        expected.languageCode.clear();
        expected.productCodes = {"A", "B"};
        expected.dbDir.clear();
        StartupOptions options;
        std::string problem;
        ASSERT_TRUE(ReadAnswerFile(tree.path("a.inf"), options, problem)) << problem;
        EXPECT_TRUE(options == expected) << tree.read("a.inf");
    }
}

// A file written by hand: a byte-order mark, a path in double quotes, and a value holding
// quotes that is a value, never switches.
TEST(AnswerFile, ValuesAreTakenLiterallyWithTheirSurroundingQuotesStripped) {
    qvtest::TempTree tree;
    tree.write("a.inf", "\xEF\xBB\xBF[Setup]\r\nDIR=\"c:\\Program Files\\qv\"\rGROUP=x\" /PLAN /S /LOG=y \"\n");
    StartupOptions options;
    std::string problem;
    ASSERT_TRUE(ReadAnswerFile(tree.path("a.inf"), options, problem)) << problem;
    EXPECT_EQ(options.installDir, "c:\\Program Files\\qv");
    EXPECT_EQ(options.groupTitle, "x\" /PLAN /S /LOG=y \"");
    EXPECT_EQ(options.mode, RunMode::Install);
    EXPECT_FALSE(options.silent);
    EXPECT_EQ(options.logPath, "");
}

// The Windows profile call puts a file named without a folder into the Windows folder.
TEST(AnswerFile, ABareNameIsWrittenIntoTheCurrentDirectory) {
    qvtest::TempTree tree;
    std::string root = tree.root();
#ifndef _WIN32
    std::replace(root.begin(), root.end(), '\\', '/');
#endif
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(root);
    RunError error;
    const bool written = WriteAnswerFile("answers.inf", StartupOptions{}, error);
    std::filesystem::current_path(before);
    EXPECT_TRUE(written) << error.description;
    EXPECT_TRUE(tree.exists("answers.inf"));
}

TEST(AnswerFile, AFileThatCannotBeTakenIsNamedWithItsKey) {
    qvtest::TempTree tree;
    StartupOptions options;
    std::string problem;
    EXPECT_FALSE(ReadAnswerFile(tree.path("none.inf"), options, problem));
    EXPECT_EQ(problem.rfind("The answer file " + tree.path("none.inf") + " cannot be read: ", 0), 0u) << problem;

    tree.write("key.inf", "[Setup]\r\nDIR=c:\\qv\r\nCOLOUR=blue\r\n");
    EXPECT_FALSE(ReadAnswerFile(tree.path("key.inf"), options, problem));
    EXPECT_EQ(problem.rfind("Unknown key \"COLOUR\" in the answer file " + tree.path("key.inf") + ".", 0), 0u);

    tree.write("flag.inf", "[setup]\r\nCRC=yes\r\n");
    EXPECT_FALSE(ReadAnswerFile(tree.path("flag.inf"), options, problem));
    EXPECT_EQ(problem, "Bad value \"yes\" of the key CRC in the answer file " + tree.path("flag.inf") + ".\r\nUse 1 or 0.");

    tree.write("empty.inf", "[Other]\r\nDIR=c:\\qv\r\n");
    EXPECT_FALSE(ReadAnswerFile(tree.path("empty.inf"), options, problem));
}

}  // namespace
}  // namespace qv
