// Answer files: written with the answers of an install, read back as the switches they
// stand for, and refused, naming the file and the key, when they cannot be taken.
#include <gtest/gtest.h>

#include "setup/config/answer_file.h"
#include "setup/session/command_line.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using Words = std::vector<std::pair<std::string, std::string>>;

TEST(AnswerFile, TheAnswersComeBackAsTheSwitchesTheyStandFor) {
    qvtest::TempTree tree;
    Answers answers;
    answers.language = "DEU";
    answers.platform = "ORA";
    answers.installType = 4;
    answers.products = {"QVT", "GL"};
    answers.installDir = "c:\\my qv";
    answers.crcCheck = true;
    RunError error;
    ASSERT_TRUE(WriteAnswerFile(tree.path("a.inf"), answers, error));
    answers.groupKnown = true;
    answers.groupTitle = "Marrowvale";
    answers.connectivityDir = "c:\\orawin\\bin";
    ASSERT_TRUE(WriteAnswerFile(tree.path("a.inf"), answers, error));  // again, with the group
    EXPECT_FALSE(tree.exists("a.inf.~new"));

    Words words;
    std::string problem;
    ASSERT_TRUE(ReadAnswerFile(tree.path("a.inf"), words, problem)) << problem;
    StartupOptions options;
    for (const auto& [key, word] : words) ASSERT_TRUE(ReadSwitches(word, options, problem)) << key << ": " << problem;
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

TEST(AnswerFile, AFileThatCannotBeTakenIsNamedWithItsKey) {
    qvtest::TempTree tree;
    Words words;
    std::string problem;
    EXPECT_FALSE(ReadAnswerFile(tree.path("none.inf"), words, problem));
    EXPECT_EQ(problem.rfind("The answer file " + tree.path("none.inf") + " cannot be read: ", 0), 0u) << problem;

    tree.write("key.inf", "[Setup]\r\nDIR=c:\\qv\r\nCOLOUR=blue\r\n");
    EXPECT_FALSE(ReadAnswerFile(tree.path("key.inf"), words, problem));
    EXPECT_EQ(problem.rfind("Unknown key \"COLOUR\" in the answer file " + tree.path("key.inf") + ".", 0), 0u);

    tree.write("flag.inf", "[setup]\r\nCRC=yes\r\n");
    EXPECT_FALSE(ReadAnswerFile(tree.path("flag.inf"), words, problem));
    EXPECT_EQ(problem, "Bad value \"yes\" of the key CRC in the answer file " + tree.path("flag.inf") + ".\r\nUse 1 or 0.");

    tree.write("empty.inf", "[Other]\r\nDIR=c:\\qv\r\n");
    EXPECT_FALSE(ReadAnswerFile(tree.path("empty.inf"), words, problem));
}

}  // namespace
}  // namespace qv
