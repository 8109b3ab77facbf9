// The base of the end-to-end tests of qvsetup.exe's windows: a CD that the test masters,
// the program started on it, and the windows and controls found by the classes and ids
// the installer gives them.
#pragma once

#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "e2e/e2e_test.h"
#include "e2e/test_cd.h"
#include "setup/dialogs/user_port_win.h"
#include "setup/resources/control_ids.h"

namespace qve2e {

namespace ids = qv::ids;

inline constexpr const char* kSetupExe = "qvsetup.exe";
inline constexpr const char* kTitle = "Marrowvale CD-ROM Installation";
inline constexpr const char* kFileServer = "Software to File Server";
inline constexpr const char* kDbFileServer = "Database to File Server";

// The bytes of a file; nothing when it cannot be read.
inline std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// While it copies, the program looks at its pending events at most once in its event
// interval. A test that queues a click for the copy to find, while the program stands
// still (at a message box, at a held checksum), lets it stand at least that long after
// the moment it was seen standing: the first block copied afterwards then lets the click
// run. This waits on the program's own clock, not for the program.
inline void OutlastTheEventInterval(std::chrono::steady_clock::time_point standingSince) {
    std::this_thread::sleep_until(standingSince + Millis(qv::WinUserPort::kEventInterval));
}

class SetupTest : public EndToEndTest {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        // Drives that a test which was stopped half-way may have left in the prefix.
        if (RunningUnderWine()) {
            UnmapWineDrive('n');
            UnmapWineDrive('q');
        }
    }

    // Masters the CD and starts the installer on it: "\"<cd>\" x" and the switches.
    void StartSetup(const std::string& switches = "", const Environment* environment = nullptr) {
        std::string error;
        ASSERT_TRUE(cd.Master(error)) << error;
        Start(kSetupExe, "\"" + cd.root() + "\" x" + (switches.empty() ? "" : " " + switches), environment);
    }

    // Waits for a window of the installer by its class.
    HWND WaitForForm(const char* className, Millis limit = kWindowWait) {
        HWND window = WaitForWindow(app, {className}, limit);
        EXPECT_NE(window, nullptr) << "no " << className << " window: " << DescribeWindows(app.Id());
        return window;
    }

    // Waits for the main window and keeps it.
    void WaitForMain() {
        main = WaitForForm(ids::kQVSetupClass);
        ASSERT_NE(main, nullptr);
        WaitForInputIdle(app.Handle(), 5000);
    }

    HWND Control(HWND window, int id) {
        HWND control = FindControlById(window, id);
        EXPECT_NE(control, nullptr) << "no control " << id << ": " << DescribeWindows(app.Id());
        return control;
    }
    HWND Main(int id) { return Control(main, id); }

    // Waits for a message box, checks its title, text, buttons and icon, and answers it.
    void ExpectBox(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                   BoxIcon icon, const std::string& answer, const std::string& shot = "") {
        const std::optional<MessageBoxInfo> box = WaitForMessageBox(app);
        ASSERT_TRUE(box.has_value()) << "no message box: " << DescribeWindows(app.Id());
        if (!shot.empty()) Shot(shot);
        EXPECT_EQ(box->title, title);
        EXPECT_EQ(box->text, text);
        EXPECT_EQ(box->buttons, buttons);
        EXPECT_EQ(box->icon, icon) << IconName(box->icon);
        ASSERT_TRUE(AnswerMessageBox(*box, answer));
        EXPECT_TRUE(WaitForWindowGone(box->window));
    }

    // Makes a gesture with real input that the program answers with a message box, and
    // waits for the box. Under Wine a real input event that arrives while the program's
    // window is still being activated can be lost, so the gesture is made again when no
    // box comes within a few seconds (three tries at most).
    void GestureUntilBox(HWND control, MouseButton button, std::initializer_list<WORD> keys) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            ASSERT_TRUE(ClickWithKeys(control, button, keys));
            if (WaitForMessageBox(app, Millis(4000))) return;
        }
        ADD_FAILURE() << "the gesture brought no message box: " << DescribeWindows(app.Id());
    }

    // Replaces the install-to directory as typing would.
    void SetInstallTo(const std::string& dir) {
        HWND edit = Main(ids::qv_setup::lblQvver);
        ASSERT_TRUE(SetText(edit, dir));
        ASSERT_TRUE(WaitForText(edit, dir));
    }

    // A screenshot once the program has painted what it shows: it waits until the
    // program waits for input again and its drawing has reached the screen.
    void Shot(const std::string& step) {
        if (app.Started()) WaitForInputIdle(app.Handle(), 5000);
        WaitForStillScreen();
        EndToEndTest::Shot(step);
    }

    TestCd cd;
    HWND main = nullptr;
};

// A small catalogue: two products of the default type (the second not chosen by
// default) and one database product.
inline void AddSmallCatalogue(TestCd& cd) {
    cd.Add({"LEDGER", "Marrowvale Ledger", kFileServer, 20, "", "", "8.01", "1500",
            {{"ledger\\ledger.ini", "[Ledger]\r\nYear=2026\r\n"}, {"ledger\\forms\\journal.frm", FileBytes(700, 1)}}});
    cd.Add({"REPORTS", "Marrowvale Reports", kFileServer, 10, "", "0", "8.02", "2500",
            {{"reports\\trial.rpt", FileBytes(2000, 2)}}});
    cd.Add({"LEDGERDB", "Ledger Database", kDbFileServer, 30, "\\qvdb", "", "8.01", "4000",
            {{"database\\gl.sql", "create table gl (id int);\r\n"}}});
}

}  // namespace qve2e
