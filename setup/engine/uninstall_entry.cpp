#include "setup/engine/uninstall_entry.h"

#include "setup/engine/checksum.h"
#include "setup/session/command_line.h"
#include "setup/session/file_system.h"
#include "setup/session/install_log.h"
#include "setup/session/res_strings.h"
#include "setup/session/run_lock.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

constexpr const char* kProgramName = "qvsetup.exe";
// What removal needs beside the program: the shortcut library and the checksum library.
constexpr const char* kKeptFiles[] = {kProgramName, "qvole.dll", "qvcrc.dll"};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string EntryKey(const Path& installDir) {
    return std::string(kUninstallKeyRoot) + "\\" + UninstallKeyName(installDir);
}

uint32_t EstimatedKiB(const InstallRecord& record) {
    int64_t bytes = 0;
    for (const RecordedFile& f : record.files) bytes += f.size;
    return static_cast<uint32_t>(std::min<int64_t>((bytes + 1023) / 1024, UINT32_MAX));
}

// The switch that gave the install its scope, for the entry's command lines to give again.
std::string ScopeSwitch(InstallScope scope) {
    switch (scope) {
        case InstallScope::AsAllowed: break;
        case InstallScope::AllUsers: return " " + SwitchName(SwitchId::AllUsers);
        case InstallScope::CurrentUser: return " " + SwitchName(SwitchId::CurrentUser);
    }
    return {};
}

// Where the entry may go, in the order tried: the machine's, else the user's, unless the
// install was given its scope.
std::vector<reg::Root> EntryRoots(InstallScope scope) {
    switch (scope) {
        case InstallScope::AsAllowed: break;
        case InstallScope::AllUsers: return {reg::Root::LocalMachine};
        case InstallScope::CurrentUser: return {reg::Root::CurrentUser};
    }
    return {reg::Root::LocalMachine, reg::Root::CurrentUser};
}

}  // namespace

bool CheckInstallScope(const Session& session, UserPort& port) {
    if (session.Scope != InstallScope::AllUsers || reg::CanWrite(reg::Root::LocalMachine, kUninstallKeyRoot)) return true;
    port.ShowMessage({Res(session, Str::LoadError) + "\r\n" + SwitchName(SwitchId::AllUsers) +
                          ": this run cannot write the machine's Apps & features key HKLM\\" + kUninstallKeyRoot +
                          ".\r\nRun the installer as an administrator, or install for this user alone with " +
                          SwitchName(SwitchId::CurrentUser) + ".",
                      kAppTitle, Buttons::Ok, Icon::Exclamation, 1});
    return false;
}

std::string UninstallKeyName(const Path& installDir) { return RunLockName(installDir); }

Path UninstallerFolder(const Path& installDir) { return installDir.Join("setup\\uninstall").value_or(Path()); }

std::vector<reg::Value> UninstallValues(const InstallRecord& record, const std::string& date) {
    const Path folder = UninstallerFolder(record.installDir);
    const std::string program = folder + "\\" + kProgramName;
    const std::string scope = ScopeSwitch(record.scope);
    const std::string remove =
        Quoted(program) + " " + Quoted(folder) + " x /UNINSTALL /DIR=" + Quoted(record.installDir) + scope;
    std::string source = record.sourceDir;  // without a "\" before its closing quote
    while (source.size() > 3 && source.back() == '\\') source.pop_back();
    const std::string modify = Quoted(program) + " " + Quoted(source) + " x /MODIFY /LANG=" +
                               record.language + " /DB=" + record.platform + " /DIR=" + Quoted(record.installDir) + scope;
    return {
        {"DisplayName", "Marrowvale 8.01 (" + record.installDir + ")"},
        {"DisplayVersion", "8.01"},
        {"Publisher", "Marrowvale"},
        {"InstallLocation", record.installDir},
        {"InstallSource", record.sourceDir},
        {"InstallDate", date},
        {"EstimatedSize", EstimatedKiB(record)},
        {"DisplayIcon", program + ",0"},
        {"UninstallString", remove},
        {"QuietUninstallString", remove + " /S"},
        {"ModifyPath", modify},
        {"NoRepair", uint32_t{1}},  // the verify window, behind Modify, repairs
    };
}

void KeepUninstaller(InstallJournal& journal, UserPort& port, const Path& installDir) {
    const std::string from = fs::ProgramFolder();
    const Path to = UninstallerFolder(installDir);
    if (from.empty() || to.empty() || EqualsNoCase(from, to.str())) return;
    RunError error;
    if (!journal.MakeFolders(to, error)) {
        port.LogStep("Could not keep the uninstaller in " + to + " (" + error.description + ")" + SystemCause(error));
        return;
    }
    for (const char* name : kKeptFiles) {
        const std::string source = from + "\\" + name;
        const Path dest = *to.Join(name);
        RecordedFile file;
        file.path = dest;
        int32_t checksum = 0;
        if (!fs::IsFile(source) || !journal.PrepareFile(dest, error) || !fs::CopyToNew(source, dest, error) ||
            !FileChecksum(dest, file.size, checksum, error)) {
            port.LogStep("Could not keep " + dest + " for the uninstaller (" + error.description + ")" +
                         SystemCause(error));
            continue;
        }
        file.checksum = ChecksumText(checksum);
        journal.Wrote(file);
    }
    port.LogStep("Kept the uninstaller in " + to);
}

void RegisterUninstallEntry(InstallJournal& journal, UserPort& port, const std::string& date) {
    const InstallRecord& record = journal.Record();
    const std::string key = EntryKey(record.installDir);
    const std::vector<reg::Value> values = UninstallValues(record, date);
    RunError error;
    for (const reg::Root root : EntryRoots(record.scope)) {
        const std::string name = std::string(reg::RootName(root)) + "\\" + UninstallKeyName(record.installDir);
        if (!journal.WillRegister(name, reg::KeyExists(root, key), error)) break;
        if (!reg::SetValues(root, key, values, error)) continue;
        journal.Wrote(RecordedUninstallEntry{reg::RootName(root), UninstallKeyName(record.installDir)});
        port.LogStep("Registered the Apps & features entry " + std::string(reg::RootName(root)) + "\\" + key);
        return;
    }
    port.LogStep("Could not register the Apps & features entry " + key + " (" + error.description + ")" +
                 SystemCause(error));
}

std::string InstallDateOf(double dateTime) {
    const std::string stamp = FormatTimeStamp(dateTime);  // "yyyy-mm-dd hh:mm:ss.mmm"
    return stamp.substr(0, 4) + stamp.substr(5, 2) + stamp.substr(8, 2);
}

}  // namespace qv
