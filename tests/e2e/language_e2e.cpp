// The first window, frmLang: the languages of the CD's list, Enter and OK applying one,
// Exit; and the CDs on which it never shows (no list, or a list without records).
#include "e2e/qvsetup_test.h"

namespace qve2e {
namespace {

namespace lang = ids::frm_lang;

class LanguageTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        AddSmallCatalogue(cd);
    }

    // The main window is there, in English, and the language window is gone.
    void ExpectEnglishMain() {
        WaitForMain();
        EXPECT_EQ(Text(main), std::string(kTitle) + " - SQLBase");
        EXPECT_EQ(Text(Main(ids::qv_setup::lblInstall)), "Install to Directory:");
        EXPECT_EQ(FindWindowOf(app.Id(), {ids::kFrmLangClass, "", false}), nullptr) << "frmLang was not destroyed";
    }
};

TEST_F(LanguageTest, EnterTakesTheFirstOfThreeLanguages) {
    cd.Languages({"\"English\",\"ENG\",0", "\"Deutsch\",\"DEU\",0", "\"Nederlands\",\"NLD\",0"});
    StartSetup();
    HWND window = WaitForForm(ids::kFrmLangClass);
    ASSERT_NE(window, nullptr);
    Shot("language-window");
    EXPECT_EQ(Text(window), kTitle);
    EXPECT_EQ(Text(Control(window, lang::Label1)), "Welcome to Marrowvale CD-ROM Installation");
    EXPECT_EQ(Text(Control(window, lang::Frame1)), "Please Select Your Preferred Language");
    EXPECT_EQ(Text(Control(window, lang::btnOk)), "&OK");
    EXPECT_EQ(Text(Control(window, lang::btnCancel)), "Exit");
    HWND list = Control(window, lang::lstLang);
    EXPECT_EQ(ListBoxItems(list), (std::vector<std::string>{"English", "Deutsch", "Nederlands"}));
    EXPECT_EQ(ListBoxSelection(list), 0);

    ASSERT_TRUE(PostKey(list, VK_RETURN));
    ExpectEnglishMain();
    Shot("main-window");
}

TEST_F(LanguageTest, EnterWithNothingSelectedTakesTheFirst) {
    cd.Languages({"\"English\",\"ENG\",0", "\"Deutsch\",\"DEU\",0"});
    StartSetup();
    HWND window = WaitForForm(ids::kFrmLangClass);
    ASSERT_NE(window, nullptr);
    HWND list = Control(window, lang::lstLang);
    LRESULT ignored = 0;
    ASSERT_TRUE(SendMessageTimeoutA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0, SMTO_ABORTIFHUNG, 5000,
                                    reinterpret_cast<PDWORD_PTR>(&ignored)));
    EXPECT_EQ(ListBoxSelection(list), -1);
    ASSERT_TRUE(PostKey(list, VK_RETURN));
    ExpectEnglishMain();
}

TEST_F(LanguageTest, DoubleClickAppliesTheLanguage) {
    cd.Languages({"\"English\",\"ENG\",0", "\"Deutsch\",\"DEU\",0"});
    StartSetup();
    HWND window = WaitForForm(ids::kFrmLangClass);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(DoubleClickListBoxItem(Control(window, lang::lstLang), 1));
    WaitForMain();  // Deutsch carries offset 0: the same English texts
}

TEST_F(LanguageTest, WithoutAListTheMainWindowComesAtOnce) {
    StartSetup();
    WaitForMain();
    ExpectEnglishMain();
}

TEST_F(LanguageTest, AListWithoutRecordsShowsAnEmptyListAndOkTakesEnglish) {
    cd.Languages({});
    StartSetup();
    HWND window = WaitForForm(ids::kFrmLangClass);
    ASSERT_NE(window, nullptr);
    Shot("empty-list");
    EXPECT_EQ(ListBoxItems(Control(window, lang::lstLang)), std::vector<std::string>{});
    ASSERT_TRUE(ClickButton(window, "OK"));
    ExpectEnglishMain();
}

TEST_F(LanguageTest, ExitEndsTheProgram) {
    cd.Languages({"\"English\",\"ENG\",0"});
    StartSetup();
    HWND window = WaitForForm(ids::kFrmLangClass);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(ClickButton(window, "Exit"));
    ExpectExitCode(2);  // ended before installing
}

}  // namespace
}  // namespace qve2e
