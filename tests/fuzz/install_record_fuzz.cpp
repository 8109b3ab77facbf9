// Install records and journals, carried out over a sandbox of real files: the input is a
// record (sealed again, and trusted: its digest is kept as a run would keep it), then,
// from a line "QVJNL<TAB>1" on, the journal a killed run left. The next run finishes the
// journal and then uninstalls by the record. Whatever they say, nothing outside the places
// a run may change is removed, moved, changed or created: not the files beside the
// install directory, not what a link inside it points to, not another TEMP's transfer
// configuration, not a Programs folder that no group of the input names.
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <set>

#include "setup/engine/install_record.h"
#include "setup/engine/install_run.h"
#include "setup/engine/record_trust.h"
#include "setup/engine/uninstall.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/session/digest.h"
#include "setup/session/registry.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

namespace stdfs = std::filesystem;

// The shell of the sandbox: one Programs folder, and shortcuts that are never there.
struct SandboxShortcuts : qv::ShortcutLibrary {
    void OleInit() override {}
    qv::ShortcutResult MakeShortCut(int32_t, const std::string&, const std::string&, const std::string&,
                                    const std::string&, const std::string&) override {
        return qv::ShortcutResult::NotMade;
    }
    void OleUninit() override {}
    std::optional<qv::ShortcutTarget> ReadShortCut(int32_t, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<qv::ProgramsFolder> FindProgramsFolder(int32_t common) override {
        return qv::ProgramsFolder{"c:\\pd\\Programs", common == 1};
    }
};

void Put(const std::string& path, const std::string& content) {
    stdfs::create_directories(stdfs::path(path).parent_path());
    qvfuzz::WriteFile(path, content);
}

// The sandbox as every iteration finds it: "c:" is a folder of the scratch folder, the
// current directory, as the native file layer maps drive paths.
void MakeSandbox() {
    std::error_code ec;
    stdfs::remove_all("c:", ec);
    Put("c:/qv/a.txt", "alpha");
    Put("c:/qv/sub/b.txt", "beta");
    Put("c:/qv/setup/dbcodes.inf", "[dbcodes]\r\nGL=General Ledger,GL,0\r\n");
    Put("c:/victim.txt", "not the installer's");
    Put("c:/Windows/win.ini", "[windows]\r\n");
    chmod("c:/Windows/win.ini", 0444);
    Put("c:/Windows/sub/b.txt", "beta");  // as c:\qv\sub\b.txt, reached through the link
    stdfs::create_directory_symlink(stdfs::absolute("c:/Windows"), "c:/qv/link", ec);
    Put("c:/temp/qvxfr.cfg", "SET RDBMS=ORA\r\n");
    Put("c:/other/qvxfr.cfg", "SET RDBMS=ORA\r\n");
    Put("c:/pd/Programs/Keep/keep.LNK", "a link");
    Put("c:/users/x/Start Menu/Programs/G/x.LNK", "a link");
}

// Every file and link of the sandbox that no run may change, with its content.
std::map<std::string, std::string> Untouchable(const std::set<std::string>& groups) {
    std::map<std::string, std::string> files;
    for (auto it = stdfs::recursive_directory_iterator("c:"); it != stdfs::recursive_directory_iterator(); ++it) {
        const std::string path = it->path().generic_string();
        if (path.rfind("c:/qv/", 0) == 0 && it->is_symlink()) continue;  // the link itself may go
        if (path.rfind("c:/qv/", 0) == 0 || path == "c:/temp/qvxfr.cfg" || path.rfind("c:/temp/~", 0) == 0) continue;
        bool grouped = false;
        for (const std::string& title : groups)
            grouped = grouped || (!title.empty() && path.rfind("c:/pd/Programs/" + title + "/", 0) == 0);
        if (grouped || it->is_directory()) continue;
        std::string content;
        qv::RunError error;
        qv::PassOver(qv::fs::ReadWholeFile(path, content, error));  // unreadable: compared as empty
        files[path] = std::to_string(static_cast<int>(it->symlink_status().permissions())) + "|" + content;
    }
    return files;
}

// The titles the input's groups name: their folders are a run's to change.
std::set<std::string> GroupTitles(const std::string& text) {
    std::set<std::string> titles;
    for (size_t at = text.find("group\t"); at != std::string::npos; at = text.find("group\t", at + 1)) {
        const size_t end = text.find('\t', at + 6);
        std::string title;
        if (end != std::string::npos && qv::UnescapeField(text.substr(at + 6, end - at - 6), title)) titles.insert(title);
    }
    return titles;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(qvfuzz::Bytes(data, size));
    // A field that names a folder of the build machine would reach outside the sandbox.
    if (input.find("\t/") != std::string::npos || input.find("\t%2F") != std::string::npos ||
        input.find("\t%2f") != std::string::npos)
        return 0;
    static const bool entered = chdir(qvfuzz::ScratchFolder("record").c_str()) == 0;
    QV_FUZZ_CHECK(entered);
    MakeSandbox();

    const size_t split = input.find("QVJNL\t");
    std::string record = input.substr(0, split);
    const size_t seal = record.rfind("seal\t");
    if (seal != std::string::npos && (seal == 0 || record[seal - 1] == '\n')) record = qv::SealRecordText(record.substr(0, seal));
    qv::Session session;
    session.TempDir = "c:\\temp";
    session.InstallDir = "c:\\qv";
    const qv::Path dir = *qv::Path::Parse("c:\\qv");
    SandboxShortcuts shortcuts;
    const std::string key = std::string(qv::kUninstallKeyRoot) + "\\" + qv::UninstallKeyName(dir);
    qv::RunError error;
    qv::PassOver(qv::reg::DeleteKey(qv::reg::Root::LocalMachine, key, error));  // none there yet
    QV_FUZZ_CHECK(
        qv::reg::SetValues(qv::reg::Root::LocalMachine, key, {{qv::kRecordDigestValue, qv::Sha256Hex(record)}}, error));
    Put("c:/qv/setup/qvinstall.rec", record);
    const std::optional<qv::Path> journals = qv::JournalFolderForRun(error);
    QV_FUZZ_CHECK(journals.has_value());
    const qv::Path journal = qv::JournalFileIn(*journals, qv::UninstallKeyName(dir));
    if (split != std::string::npos) qvfuzz::WriteFile(journal, input.substr(split));

    const std::map<std::string, std::string> before = Untouchable(GroupTitles(input));
    qvfuzz::AnsweringPort port;
    qv::Confinement places = qv::ConfinementFor(session, dir, shortcuts);
    qv::ReadInstallRecord(places, port, /*finish=*/true);
    qv::RunUninstall(session, port, shortcuts, dir);
    QV_FUZZ_CHECK(Untouchable(GroupTitles(input)) == before);
    qv::PassOver(qv::fs::RemoveFile(journal, error));  // the run may have removed it
    return 0;
}
