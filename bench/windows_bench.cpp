// Not a test: the figures that bench/windows prints.
//  1. An install of the benchmark CD through the windows of qvsetup.exe (driven as a person
//     would: the install-to directory, Install, Proceed, up to the closing message) against
//     the same install through the engine alone (RunInstall with a port that shows nothing),
//     in this process. Median and best of five runs each, alternating, page cache warm.
//  2. Start-up of qvsetup.exe on a CD of 64 products up to a main window that waits for the
//     user, with the wineserver already running. Median of several runs.
// The benchmark CD is the tree the copy was measured on: 200 files of 5 MiB and 2000 files
// of 16 KiB, in four products (QV_BENCH_SCALE=n divides the file counts by n).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/test_cd.h"
#include "setup/engine/install_driver.h"
#include "setup/resources/control_ids.h"
#include "setup/session/file_system.h"
#include "setup/session/startup.h"
#include "setup/session/user_port.h"
#include "support/temp_tree.h"

namespace {

using namespace qve2e;
using Clock = std::chrono::steady_clock;
namespace ids = qv::ids;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The port of an install that nobody watches: every box is answered with its first button.
class SilentPort : public qv::UserPort {
public:
    qv::Answer ShowMessage(const qv::Message& message) override {
        std::fprintf(stderr, "unexpected message: %s\n", message.text.c_str());
        return qv::Answer::Ok;
    }
};

bool Fail(const std::string& why) {
    std::fprintf(stderr, "bench: %s\n", why.c_str());
    return false;
}

// The engine alone, as the main window would call it for every product of the CD.
bool InstallThroughEngine(const std::string& cd, const std::string& target, double& seconds) {
    qv::Session session;
    SilentPort port;
    session.SourceDir = cd;
    session.TempDir = qv::fs::SystemTempDir();
    session.Languages = {{"English", "ENG", 0}};
    qv::PrepareCatalogue(session, port, "SBS");
    double bytes = 0;
    for (int i = 1; i <= session.ProductCount; ++i) {
        session.ListedProducts[static_cast<size_t>(i)] = session.Products[static_cast<size_t>(i)];
        session.ListedProducts[static_cast<size_t>(i)].Chosen = -1;
        bytes += session.Products[static_cast<size_t>(i)].Size;
    }
    session.InstallDir = target;
    session.ProductBytes = bytes;
    session.InstallStartTime = port.Now();
    const auto start = Clock::now();
    qv::RunInstall(session, port);
    seconds = Seconds(Clock::now() - start);
    return !session.InstallAborted || Fail("the engine's install was aborted");
}

// The same install through the windows, from Proceed to the closing message.
bool InstallThroughWindows(const std::string& cd, const std::string& target, double& seconds) {
    Process app;
    if (!app.Start(ProgramFolder() + "\\qvsetup.exe", "\"" + cd + "\" x", ProgramFolder())) return Fail(app.error());
    HWND main = WaitForWindow(app, {ids::kQVSetupClass}, Millis(60000));
    if (!main) return Fail("no main window: " + app.Describe());
    WaitForInputIdle(app.Handle(), 10000);
    HWND edit = FindControlById(main, ids::qv_setup::lblQvver);
    if (!edit || !SetText(edit, target) || !ClickButton(main, "Install")) return Fail("cannot start the install");
    HWND confirmation = WaitForWindow(app, {ids::kConfirmationClass});
    if (!confirmation) return Fail("no confirmation: " + DescribeWindows(app.Id()));
    const auto start = Clock::now();
    if (!ClickButton(confirmation, "Proceed")) return Fail("cannot proceed");
    // The moment the closing message appears; it is read afterwards. A cheap look for a
    // dialog of the program every few milliseconds keeps the bench from slowing the install.
    const auto deadline = Clock::now() + std::chrono::minutes(10);
    for (;;) {
        bool shown = false;
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w && !shown;
             w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            shown = owner == app.Id() && IsWindowVisible(w);
        }
        if (shown || Clock::now() > deadline) break;
        Sleep(5);
    }
    seconds = Seconds(Clock::now() - start);
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app);
    if (!box) return Fail("no closing message: " + app.Describe());
    if (box->text.find("successfully installed") == std::string::npos) return Fail("install failed: " + box->text);
    AnswerMessageBox(*box, "OK");
    ClickButton(main, "Exit");
    app.WaitForExit(Millis(15000));
    return true;
}

// Start-up to a main window that waits for the user.
bool StartUp(const std::string& cd, double& seconds) {
    Process app;
    const auto start = Clock::now();
    if (!app.Start(ProgramFolder() + "\\qvsetup.exe", "\"" + cd + "\" x", ProgramFolder())) return Fail(app.error());
    HWND main = WaitForWindow(app, {ids::kQVSetupClass}, Millis(60000));
    if (!main) return Fail("no main window: " + app.Describe());
    WaitForInputIdle(app.Handle(), 10000);
    seconds = Seconds(Clock::now() - start);
    HWND list = FindControlById(main, ids::qv_setup::ProductBox);
    const size_t listed = list ? ListBoxItems(list).value_or(std::vector<std::string>{}).size() : 0;
    ClickButton(main, "Exit");
    app.WaitForExit(Millis(15000));
    return listed == 64 || Fail("the main window lists " + std::to_string(listed) + " products, not 64");
}

int Scale() {
    const char* value = std::getenv("QV_BENCH_SCALE");
    const int scale = value ? std::atoi(value) : 1;
    return scale > 0 ? scale : 1;
}

}  // namespace

int main() {
    if (!UseUnmanagedWindows("qvsetup.exe")) return Fail("cannot set up Wine's window handling"), 1;
    const int scale = Scale();

    std::printf("Mastering the benchmark CD (%d files of 5 MiB, %d of 16 KiB)...\n", 200 / scale, 2000 / scale);
    TestCd cd;
    uint64_t total = 0;
    for (int p = 0; p < 4; ++p) {
        TestProduct product = MakeProduct("BENCH" + std::to_string(p), "Benchmark " + std::to_string(p), p + 1);
        for (int i = 0; i < 50 / scale; ++i)
            product.files.push_back({"big\\p" + std::to_string(p) + "_" + std::to_string(i) + ".dat",
                                     FileBytes(5 << 20, static_cast<uint32_t>(p * 100000 + i))});
        for (int i = 0; i < 500 / scale; ++i)
            product.files.push_back({"small\\s" + std::to_string(p) + "\\f" + std::to_string(i) + ".dat",
                                     FileBytes(16 << 10, static_cast<uint32_t>(p * 100000 + 50000 + i))});
        for (const TestFile& f : product.files) total += f.content.size();
        cd.Add(product);
    }
    std::string error;
    if (!cd.Master(error)) return Fail(error), 1;

    const int runs = 5;
    std::vector<double> engine, windows;
    qvtest::TempTree targets;
    for (int run = 0; run <= runs; ++run) {  // run 0 warms the caches and is not counted
        double e = 0, w = 0;
        const std::string a = targets.path("engine" + std::to_string(run));
        const std::string b = targets.path("windows" + std::to_string(run));
        if (!InstallThroughEngine(cd.root(), a, e)) return 1;
        qvtest::RemoveTree(a);
        if (!InstallThroughWindows(cd.root(), b, w)) return 1;
        qvtest::RemoveTree(b);
        if (run == 0) continue;
        engine.push_back(e);
        windows.push_back(w);
        std::printf("  run %d: engine alone %.3f s, through the windows %.3f s\n", run, e, w);
    }
    const double e = Median(engine), w = Median(windows);
    std::printf("Install of %.0f MB (median of %d): engine alone %.3f s (%.0f MB/s), through the windows %.3f s "
                "(%.0f MB/s): the windows cost %+.1f %%\n",
                total / 1e6, runs, e, total / 1e6 / e, w, total / 1e6 / w, (w / e - 1) * 100);
    const double eBest = *std::min_element(engine.begin(), engine.end());
    const double wBest = *std::min_element(windows.begin(), windows.end());
    std::printf("Best runs: engine alone %.3f s, through the windows %.3f s: the windows cost %+.1f %%\n", eBest, wBest,
                (wBest / eBest - 1) * 100);

    TestCd many;
    for (int p = 0; p < 64; ++p)
        many.Add({"P" + std::to_string(p), "Product " + std::to_string(p), "Software to File Server", p % 7,
                  "", "", "8.01", "", {{"readme.txt", "product " + std::to_string(p)}}});
    if (!many.Master(error)) return Fail(error), 1;
    std::vector<double> startups;
    for (int run = 0; run <= 5; ++run) {
        double s = 0;
        if (!StartUp(many.root(), s)) return 1;
        if (run > 0) startups.push_back(s);
    }
    std::printf("Start-up to a ready main window on a CD of 64 products (median of 5, wineserver running): %.3f s\n",
                Median(startups));
    return 0;
}
