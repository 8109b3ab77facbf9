// An install entirely in German: Deutsch chosen in the language window gives German texts
// in the main window (with the catalogue's German product names), the confirmation, the
// progress window, the Abort/Retry/Ignore box of a damaged file, the program group dialog
// and the closing message, and the configuration records the language.
#include "e2e/qvsetup_test.h"

namespace qve2e {
namespace {

namespace mw = ids::qv_setup;
namespace st = ids::install_status;
namespace gr = ids::frm_group;

class GermanTest : public SetupTest {
protected:
    std::string Target() const { return target_.path("qv"); }
    qvtest::TempTree target_;
    qvtest::TempTree temp_;
};

TEST_F(GermanTest, DeutschShowsGermanTextsFromTheMainWindowToTheClosingMessage) {
    cd.Languages({"\"English\",\"ENG\",0", "\"Deutsch\",\"DEU\",1000"});
    TestProduct tools = ToolsProduct();
    tools.germanName = "Marrowtools Werkzeugk\344sten";  // as a CD mastered in Windows-1252 holds it
    cd.Add(tools);
    TestProduct ledger = MakeProduct("ledger", "Marrowvale Ledger", 2);
    ledger.files = {{"ledger\\a.dat", FileBytes(50000, 7)}};
    cd.Add(ledger);
    std::string error;
    ASSERT_TRUE(cd.Master(error)) << error;
    ASSERT_TRUE(cd.SpoilChecksum("ledger", "ledger\\a.dat"));
    Environment environment = WithoutVariables(CurrentEnvironment(), {"TEMP", "TMP"});
    environment.push_back("TEMP=" + temp_.root());
    Start(kSetupExe, "\"" + cd.root() + "\" x /CRC /DB=ORA", &environment);

    HWND language = WaitForForm(ids::kFrmLangClass);
    ASSERT_NE(language, nullptr);
    ASSERT_TRUE(DoubleClickListBoxItem(FindControlById(language, ids::frm_lang::lstLang), 1));
    WaitForMain();
    EXPECT_EQ(Text(main), "Marrowvale CD-ROM-Installation - Oracle");
    EXPECT_EQ(Text(Main(mw::lblInstall)), "Zielverzeichnis:");
    EXPECT_EQ(Text(Main(mw::Label2)), "Installieren von:");
    EXPECT_EQ(Text(Main(mw::lblFreeSpace)), "Freier Speicher");
    EXPECT_EQ(Text(Main(mw::btnInstall)), "&Installieren");
    EXPECT_EQ(Text(Main(mw::btnExit)), "&Beenden");
    EXPECT_EQ(ListBoxItems(Main(mw::ProductBox)),
              (std::vector<std::string>{"Marrowtools Werkzeugk\344sten  8.01", "Marrowvale Ledger  8.01"}));
    Shot("german-main-window");

    SetInstallTo(Target());
    ASSERT_TRUE(ClickButton(main, "Installieren"));
    HWND confirmation = WaitForForm(ids::kConfirmationClass);
    ASSERT_NE(confirmation, nullptr);
    EXPECT_EQ(Text(confirmation), "Installationsauswahl best\344tigen");
    EXPECT_EQ(Text(FindControlById(confirmation, ids::confirmation::lblConfirm)),
              "Bitte best\344tigen Sie, dass Folgendes ausgef\374hrt werden soll:");
    Shot("german-confirmation");
    ASSERT_TRUE(ClickButton(confirmation, "Fortfahren"));

    // The damaged file's box, over the progress window.
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app, kWindowWait);
    ASSERT_TRUE(box.has_value()) << DescribeWindows(app.Id());
    HWND status = FindWindowOf(app.Id(), {ids::kInstallStatusClass});
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(Text(status), "Installationsstatus");
    EXPECT_EQ(Text(FindControlById(status, st::lblThisModule)), "Dieses Modul");
    EXPECT_EQ(Text(FindControlById(status, st::lblTimeRemain)), "Gesch\344tzte Restzeit");
    EXPECT_EQ(Text(FindControlById(status, st::btnCancel)), "&Abbrechen");
    Shot("german-copy-error");
    EXPECT_EQ(box->title, "Fehler beim Kopieren");
    EXPECT_EQ(box->text.rfind(Target() + "\\ledger\\a.dat\nLesefehler auf der CD-ROM\n"
                                         "CRC-Pr\374fung der Datei fehlgeschlagen\n",
                              0),
              0u)
        << box->text;
    ASSERT_TRUE(AnswerMessageBox(*box, "Ignore"));
    ASSERT_TRUE(WaitForWindowGone(box->window));

    HWND group = WaitForForm(ids::kFrmGroupClass);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(Text(FindControlById(group, gr::Frame1)), "Gruppe im Windows-Programm-Manager");
    EXPECT_EQ(Text(FindControlById(group, gr::chkGroup)), "Marrowvale-Gruppe und Symbole anlegen");
    EXPECT_EQ(Text(FindControlById(group, gr::lblDbDir)), "Oracle Verzeichnis der Verbindungsprogramme");
    Shot("german-group");
    ASSERT_TRUE(Click(FindControlById(group, gr::chkGroup)));  // no group: nothing to clean up
    ASSERT_TRUE(ClickButton(group, "OK"));
    ExpectBox(kTitle, "\rDie Marrowvale CD-ROM wurde erfolgreich installiert.\r", {"OK"}, BoxIcon::Asterisk, "OK");
    const std::optional<std::string> config = ReadFile(Target() + "\\setup\\qvtools8.cfg");
    ASSERT_TRUE(config.has_value());
    EXPECT_NE(config->find("Language=REG_SZ=DEU"), std::string::npos) << *config;
}

}  // namespace
}  // namespace qve2e
