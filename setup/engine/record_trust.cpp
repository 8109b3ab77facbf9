#include "setup/engine/record_trust.h"

#include "setup/engine/install_journal.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/session/digest.h"
#include "setup/session/file_system.h"
#include "setup/session/registry.h"

namespace qv {
namespace {

constexpr const char* kJournalFolderName = "Marrowvale Setup";

std::string EntryKeyOf(const std::string& uninstallKey) { return std::string(kUninstallKeyRoot) + "\\" + uninstallKey; }

bool MachineRun() { return reg::CanWrite(reg::Root::LocalMachine, kUninstallKeyRoot); }

// A journal of the directory that a run of this installer left in a trusted folder.
struct FoundJournal {
    Path path;
    std::string text;
    std::string baseDigest;
};

void SetAside(const Path& path, UserPort& port) {
    RunError error;
    if (!fs::MoveReplacing(path, path.WithSuffix(".bad"), error))
        port.LogStep("Could not set the journal " + path.str() + " aside (" + error.description + ")" + SystemCause(error));
}

std::optional<FoundJournal> FindJournal(const Confinement& confinement, UserPort& port) {
    for (const Path& folder : JournalFolders()) {
        const Path path = JournalFileIn(folder, confinement.uninstallKey);
        if (!fs::IsFile(path) && !fs::IsLink(path)) continue;
        FoundJournal found;
        found.path = path;
        RunError error;
        std::string problem;
        if (!fs::IsTrustedFile(path)) problem = "it was not written by this installer";
        else if (!fs::ReadWholeFile(path, found.text, error)) problem = "it cannot be read: " + error.description;
        else if (const std::optional<std::string> base = JournalBaseDigest(found.text)) found.baseDigest = *base;
        else problem = "it is not a journal of this installer";
        if (problem.empty()) return found;
        port.LogStep("The journal " + path.str() + " of an earlier run is refused (" + problem + "): it is not carried out");
        SetAside(path, port);
    }
    return std::nullopt;
}

// The record file judged by its digest: the one kept, or the one a journal of this
// installer says its run began on.
FoundRecord JudgeRecord(Confinement& confinement, const std::string& vouched, UserPort& port) {
    FoundRecord found;
    const Path path = RecordPath(confinement.installDir);
    if (!fs::IsFile(path)) return found;
    std::string text;
    RunError error;
    if (!fs::ReadWholeFile(path, text, error)) {
        found.problem = "it cannot be read: " + error.description;
    } else {
        found.digest = Sha256Hex(text);
        const std::optional<std::string> kept = KeptDigest(confinement.uninstallKey);
        if (found.digest.empty())
            found.problem = "its digest cannot be computed: the system has no SHA-256";
        else if (found.digest != kept.value_or("") && found.digest != vouched)
            found.problem = kept ? "it is not the record the last run wrote: its digest is not the one kept in the registry"
                                 : "no digest of it is kept in the registry: it was not written by this installer";
        else if (ParseRecord(text, confinement, found.record, found.problem))
            found.state = FoundRecord::State::Read;
    }
    if (found.state == FoundRecord::State::Read) return found;
    found.state = FoundRecord::State::Refused;
    found.record = {};
    port.LogStep("The install record " + path.str() + " is refused (" + found.problem + "): this run goes on without it");
    return found;
}

// The record a committed run wrote, where it did not get to write it (or its digest).
void CompleteCommit(const JournalFile& journal, Confinement& confinement, FoundRecord& found, UserPort& port) {
    const std::string& digest = journal.CommitStep()->digest;
    RunError error;
    if (found.state == FoundRecord::State::Read && found.digest == digest) {
        if (KeptDigest(confinement.uninstallKey) != digest) PassOver(KeepDigest(found.record, confinement.uninstallKey, digest, error));
        return;
    }
    const bool onBase = found.state == FoundRecord::State::Read ? found.digest == journal.baseDigest
                                                                 : found.state == FoundRecord::State::None && journal.baseDigest.empty();
    const std::string text = FormatRecord(journal.written);
    const Path path = RecordPath(confinement.installDir);
    if (!onBase || Sha256Hex(text) != digest) {
        port.LogStep("The install record " + path.str() + " is not the one the earlier run began on: its end cannot be written");
        return;
    }
    PassOver(KeepDigest(journal.written, confinement.uninstallKey, digest, error));
    if (!WriteRecordText(path, text, error)) {
        port.LogStep("Could not write the install record " + path.str() + " (" + error.description + ")" + SystemCause(error));
        return;
    }
    found = {FoundRecord::State::Read, journal.written, digest, {}};
}

// Carries out the journal a killed run left: a run that had committed is committed, any
// other rolled back.
void FinishEarlierRun(const FoundJournal& found, Confinement& confinement, FoundRecord& record, UserPort& port) {
    JournalFile journal;
    std::string problem;
    const InstallRecord base = record.state == FoundRecord::State::Read ? record.record : InstallRecord{};
    if (!ParseJournal(found.text, confinement, base, journal, problem)) {
        port.LogStep("The journal " + found.path.str() + " of an earlier run is refused (" + problem +
                     "): it is not carried out");
        SetAside(found.path, port);
        return;
    }
    const std::string& dir = confinement.installDir.str();
    if (journal.committed) {
        port.LogStep("An earlier run into " + dir + " ended before it finished: its install is completed");
        RemoveBackups(journal.steps, confinement);
        RemoveEmptiedFolders(journal.emptied, confinement, port);
        CompleteCommit(journal, confinement, record, port);
    } else {
        port.LogStep("An earlier run into " + dir + " ended before it finished: it is rolled back");
        UndoSteps(journal.steps, confinement, port);
    }
    RunError error;
    if (!fs::RemoveFile(found.path, error))
        port.LogStep("Could not remove the journal " + found.path.str() + " (" + error.description + ")" + SystemCause(error));
}

}  // namespace

std::optional<std::string> KeptDigest(const std::string& uninstallKey) {
    for (const reg::Root root : {reg::Root::LocalMachine, reg::Root::CurrentUser})
        if (std::optional<std::string> digest = reg::ReadString(root, EntryKeyOf(uninstallKey), kRecordDigestValue))
            return digest;
    return std::nullopt;
}

bool KeepDigest(const InstallRecord& record, const std::string& uninstallKey, const std::string& digest,
                RunError& error) {
    reg::Root root = MachineRun() ? reg::Root::LocalMachine : reg::Root::CurrentUser;
    if (record.uninstallEntry) root = record.uninstallEntry->root == "HKCU" ? reg::Root::CurrentUser : reg::Root::LocalMachine;
    return reg::SetValues(root, EntryKeyOf(uninstallKey), {{kRecordDigestValue, digest}}, error);
}

std::optional<Path> JournalFolderForRun(RunError& error) {
    const std::optional<Path> data = MachineRun() ? fs::MachineDataFolder() : fs::UserDataFolder();
    const std::optional<Path> folder = data ? data->Join(kJournalFolderName) : std::nullopt;
    if (!folder) {
        error = err::PathNotFound();
        return std::nullopt;
    }
    if (!fs::CreateProtectedDir(*folder, error)) return std::nullopt;
    return folder;
}

std::vector<Path> JournalFolders() {
    std::vector<Path> folders;
    for (const std::optional<Path>& data : {fs::MachineDataFolder(), fs::UserDataFolder()}) {
        const std::optional<Path> folder = data ? data->Join(kJournalFolderName) : std::nullopt;
        if (!folder || !fs::IsDirectory(*folder) || !fs::IsTrustedFile(*folder)) continue;
        if (std::find(folders.begin(), folders.end(), *folder) == folders.end()) folders.push_back(*folder);
    }
    return folders;
}

Path JournalFileIn(const Path& folder, const std::string& uninstallKey) { return *folder.Join(uninstallKey + ".journal"); }

FoundRecord ReadInstallRecord(Confinement& confinement, UserPort& port, bool finish) {
    const std::optional<FoundJournal> journal = FindJournal(confinement, port);
    FoundRecord found = JudgeRecord(confinement, journal ? journal->baseDigest : std::string(), port);
    if (journal && finish) FinishEarlierRun(*journal, confinement, found, port);
    return found;
}

}  // namespace qv
