// Names in any script: an install into a Greek directory, with TEMP in a folder with
// Cyrillic letters and a Greek group title, silently and through the windows. Every file
// goes where its name says; the log and the record name the real paths; the files the
// suite's programs read hold Windows-1252 text whose paths lead to the same folders; the
// shortcuts point at the real targets. This test program is a UTF-8 program, as the
// installer is, so that its own calls carry the names as they stand.
#include <shlobj.h>

#include "e2e/silent_test.h"
#include "support/link_reader_win.h"

namespace qve2e {
namespace {

namespace gr = ids::frm_group;

const std::string kDir = "C:\\qv-Ελλάδα";
const std::string kGroup = "Ομάδα Marrowvale";

// The long form of an existing path; empty where there is none.
std::string LongPath(const std::string& path) {
    char buffer[MAX_PATH * 4] = {};
    const DWORD n = GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? buffer : "";
}

// The value of "key=..." or "SET key=..." in a file's text, "REG_SZ=" left off.
std::string ValueIn(const std::string& text, const std::string& key) {
    const size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) return {};
    std::string value = text.substr(at + key.size() + 2, text.find('\r', at + 1) - at - key.size() - 2);
    return value.rfind("REG_SZ=", 0) == 0 ? value.substr(7) : value;
}

class NamesTest : public SilentSetupTest {
protected:
    void SetUp() override {
        SilentSetupTest::SetUp();
        qvtest::RemoveTree(kDir);
        ASSERT_TRUE(CreateDirectoryA(Temp().c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(scratch_.path("client").c_str(), nullptr));
        cd.Add(ToolsProduct());
        TestProduct ledger = MakeProduct("ledger", "General Ledger", 2);
        ledger.softwareType = "Application";
        ledger.files = {{"ledger\\a.dat", FileBytes(40000, 1)}, {"ledger\\Βιβλίο\\b.dat", FileBytes(9000, 2)}};
        cd.Add(ledger);
    }
    void TearDown() override {
        SilentSetupTest::TearDown();
        qvtest::RemoveTree(kDir);
        qvtest::RemoveTree(GroupFolder());
    }
    std::string Temp() const { return scratch_.path("Временные файлы"); }
    static std::string GroupFolder() {
        char programs[MAX_PATH * 4] = {};
        SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
        return std::string(programs) + "\\" + kGroup;
    }

    // What an install into the Greek directory leaves: every file, the configuration files
    // in the code page of the suite's programs leading to the real folders, the shortcuts.
    void ExpectInstalled() {
        for (const char* file : {"bin\\client\\winx86\\qvcfg.exe", "setup\\dbsetup\\setup.exe", "ledger\\a.dat",
                                 "ledger\\Βιβλίο\\b.dat"})
            EXPECT_NE(GetFileAttributesA((kDir + "\\" + file).c_str()), INVALID_FILE_ATTRIBUTES) << file;
        const std::optional<std::string> config = ReadFile(kDir + "\\setup\\qvtools8.cfg");
        ASSERT_TRUE(config.has_value());
        for (unsigned char c : *config) ASSERT_TRUE(c < 0x80 && c != '?') << "not the short paths:\n" << *config;
        EXPECT_EQ(LongPath(ValueIn(*config, "TOOLBIN")), kDir + "\\bin\\client\\winx86") << *config;
        EXPECT_EQ(LongPath(ValueIn(*config, "TEMP")), Temp()) << *config;
        const std::optional<std::string> transfer = ReadFile(Temp() + "\\qvxfr.cfg");
        ASSERT_TRUE(transfer.has_value()) << "no qvxfr.cfg in " << Temp();
        EXPECT_EQ(LongPath(ValueIn(*transfer, "SET QVHLD")), kDir) << *transfer;
        const std::optional<qvtest::LinkFields> ferry = qvtest::ReadLink(GroupFolder() + "\\Data Ferry.lnk");
        ASSERT_TRUE(ferry.has_value()) << "no shortcut in " << GroupFolder();
        EXPECT_EQ(ferry->target, kDir + "\\bin\\client\\winx86\\qvdft.exe");
    }
};

TEST_F(NamesTest, ASilentInstallKeepsGreekAndCyrillicNamesAsTheyStand) {
    SilentProgram program;
    program.temp = Temp();
    ASSERT_EQ(RunSilent("/CRC /DB=ORA /DIR=\"" + kDir + "\" /GROUP=\"" + kGroup + "\" /DBDIR=\"" +
                            scratch_.path("client") + "\"",
                        true, program),
              0u);
    ExpectInstalled();
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLineStarting(log, "Install to: " + kDir + " (")) << ::testing::PrintToString(log);
    EXPECT_TRUE(HasLineStarting(log, "Copied " + kDir + "\\ledger\\Βιβλίο\\b.dat ("));
    EXPECT_FALSE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
        return l.find("could not be written faithfully") != std::string::npos;
    }));
    const std::optional<std::string> record = ReadFile(kDir + "\\setup\\qvinstall.rec");
    ASSERT_TRUE(record.has_value());
    EXPECT_NE(record->find("\t" + kDir + "\\ledger\\Βιβλίο\\b.dat\t"), std::string::npos) << *record;
    EXPECT_NE(record->find("\t" + kGroup), std::string::npos) << *record;
}

TEST_F(NamesTest, TheWindowsShowTheGreekDirectoryAndInstallIntoIt) {
    Environment environment = WithoutVariables(CurrentEnvironment(), {"TEMP", "TMP"});
    environment.push_back("TEMP=" + Temp());
    StartSetup("/DB=ORA", &environment);
    WaitForMain();
    SetInstallTo(kDir);
    Shot("greek-install-to");
    ASSERT_TRUE(ClickButton(main, "Install"));
    HWND confirmation = WaitForForm(ids::kConfirmationClass);
    ASSERT_TRUE(confirmation && ClickButton(confirmation, "Proceed"));
    HWND group = WaitForForm(ids::kFrmGroupClass);
    ASSERT_NE(group, nullptr);
    ASSERT_TRUE(SetText(Control(group, gr::txtGroupTitle), kGroup));
    ASSERT_TRUE(SetText(Control(group, gr::txtDbdir), scratch_.path("client")));
    Shot("greek-group");
    ASSERT_TRUE(ClickButton(group, "OK"));
    ExpectBox(kTitle, "\rThe Marrowvale CD-ROM has been successfully installed.\r", {"OK"}, BoxIcon::Asterisk, "OK");
    ExpectInstalled();
}

}  // namespace
}  // namespace qve2e
