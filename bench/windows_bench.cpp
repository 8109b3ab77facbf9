// Not a test: the figures that bench/windows prints.
//  1. An install of the benchmark CD with checking on through the windows of qvsetup.exe
//     (driven as a person would: the install-to directory, Install, Proceed, up to the
//     closing message) against the same install by qvsetup.exe /S, each timed by its own
//     log from its first product to its closing message. Rounds alternate (QV_BENCH_ROUNDS,
//     default 5), the page cache warm; medians, and the windows' cost with its spread.
//  2. Start-up of qvsetup.exe on a CD of 64 products up to a main window that waits for the
//     user, with the wineserver already running. Median of as many runs, with the spread.
// The benchmark CD is the tree the copy was measured on: 200 files of 5 MiB and 2000 files
// of 16 KiB, in four products (QV_BENCH_SCALE=n divides the file counts by n).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/test_cd.h"
#include "setup/resources/control_ids.h"
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

bool Fail(const std::string& why) {
    std::fprintf(stderr, "bench: %s\n", why.c_str());
    return false;
}

// The seconds an install took by its own log: from the line of its first product to the
// last line before its closing message, the same instrument for both ways of running it.
bool InstallSeconds(const std::string& logPath, double& seconds) {
    std::ifstream file(logPath, std::ios::binary);
    if (!file) return Fail("no log " + logPath);
    std::ostringstream text;
    text << file.rdbuf();
    const std::optional<std::string> log = text.str();
    double first = -1, last = -1, previous = -1;
    size_t begin = 0;
    while (begin < log->size()) {
        size_t end = log->find("\r\n", begin);
        if (end == std::string::npos) end = log->size();
        const std::string line = log->substr(begin, end - begin);
        begin = end + 2;
        // "yyyy-mm-dd hh:mm:ss.mmm  text"
        if (line.size() < 25) continue;
        const double at = std::stoi(line.substr(11, 2)) * 3600 + std::stoi(line.substr(14, 2)) * 60 +
                          std::stod(line.substr(17, 6));
        const std::string text = line.substr(25);
        if (first < 0 && text.rfind("Installing ", 0) == 0) first = at;
        // The closing message is logged with its answer, once a person (or the bench) has
        // answered it: the install ended with the line before it.
        if (text.find("successfully installed") != std::string::npos) last = previous;
        previous = at;
    }
    if (first < 0 || last < first) return Fail("the log " + logPath + " has no whole install");
    seconds = last - first;
    return true;
}

// qvsetup.exe /S /CRC, with its log.
bool InstallSilently(const std::string& cd, const std::string& target, double& seconds) {
    Process app;
    const std::string log = target + ".log";
    if (!app.Start(ProgramFolder() + "\\qvsetup.exe", "\"" + cd + "\" x /S /CRC /DIR=\"" + target + "\" /LOG=\"" + log + "\"",
                   ProgramFolder()))
        return Fail(app.error());
    const std::optional<DWORD> code = app.WaitForExit(Millis(600000));
    if (code != 0u) return Fail("the silent install ended with " + std::to_string(code.value_or(~0u)));
    return InstallSeconds(log, seconds);
}

// The same install through the windows of qvsetup.exe /CRC: the install-to directory,
// Install, Proceed, up to the closing message.
bool InstallThroughWindows(const std::string& cd, const std::string& target, double& seconds) {
    Process app;
    const std::string log = target + ".log";
    if (!app.Start(ProgramFolder() + "\\qvsetup.exe", "\"" + cd + "\" x /CRC /LOG=\"" + log + "\"", ProgramFolder()))
        return Fail(app.error());
    HWND main = WaitForWindow(app, {ids::kQVSetupClass}, Millis(60000));
    if (!main) return Fail("no main window: " + app.Describe());
    WaitForInputIdle(app.Handle(), 10000);
    HWND edit = FindControlById(main, ids::qv_setup::lblQvver);
    if (!edit || !SetText(edit, target) || !ClickButton(main, "Install")) return Fail("cannot start the install");
    HWND confirmation = WaitForWindow(app, {ids::kConfirmationClass});
    if (!confirmation) return Fail("no confirmation: " + DescribeWindows(app.Id()));
    if (!ClickButton(confirmation, "Proceed")) return Fail("cannot proceed");
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app, Millis(600000));
    if (!box) return Fail("no closing message: " + app.Describe());
    if (box->text.find("successfully installed") == std::string::npos) return Fail("install failed: " + box->text);
    AnswerMessageBox(*box, "OK");
    ClickButton(main, "Exit");
    app.WaitForExit(Millis(15000));
    return InstallSeconds(log, seconds);
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

int Rounds() {
    const char* value = std::getenv("QV_BENCH_ROUNDS");
    const int rounds = value ? std::atoi(value) : 5;
    return rounds > 0 ? rounds : 5;
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

    const int rounds = Rounds();
    std::vector<double> silent, windows, costs;
    qvtest::TempTree targets;
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms the caches and is not counted
        double q = 0, w = 0;
        const std::string a = targets.path("silent" + std::to_string(round));
        const std::string b = targets.path("windows" + std::to_string(round));
        if (!InstallSilently(cd.root(), a, q)) return 1;
        qvtest::RemoveTree(a);
        if (!InstallThroughWindows(cd.root(), b, w)) return 1;
        qvtest::RemoveTree(b);
        if (round == 0) continue;
        silent.push_back(q);
        windows.push_back(w);
        costs.push_back((w / q - 1) * 100);
        std::printf("  round %d: silent %.3f s, through the windows %.3f s\n", round, q, w);
    }
    const double q = Median(silent), w = Median(windows);
    std::printf("Install of %.0f MB with checking on (median of %d, by the install's own log): silent %.3f s "
                "(%.0f MB/s), through the windows %.3f s (%.0f MB/s)\n",
                total / 1e6, rounds, q, total / 1e6 / q, w, total / 1e6 / w);
    std::printf("The windows cost %+.1f %% (%+.1f..%+.1f) against the silent install\n", Median(costs),
                *std::min_element(costs.begin(), costs.end()), *std::max_element(costs.begin(), costs.end()));

    TestCd many;
    for (int p = 0; p < 64; ++p)
        many.Add({"P" + std::to_string(p), "Product " + std::to_string(p), "Software to File Server", p % 7,
                  "", "", "8.01", "", {{"readme.txt", "product " + std::to_string(p)}}});
    if (!many.Master(error)) return Fail(error), 1;
    std::vector<double> startups;
    for (int run = 0; run <= rounds; ++run) {
        double s = 0;
        if (!StartUp(many.root(), s)) return 1;
        if (run > 0) startups.push_back(s);
    }
    std::printf("Start-up to a ready main window on a CD of 64 products (median of %d, wineserver running): %.3f s "
                "(%.3f..%.3f)\n",
                rounds, Median(startups), *std::min_element(startups.begin(), startups.end()),
                *std::max_element(startups.begin(), startups.end()));
    return 0;
}
