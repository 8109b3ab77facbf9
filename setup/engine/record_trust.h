// What makes a run trust the install record of its directory, which the suite's users may
// be able to write, and where a run keeps its journal. At each commit the run keeps the
// SHA-256 of the record it wrote in the directory's Apps & features key (under HKLM, or
// under HKCU for a run that writes the user's entry), where only administrators, or only
// that user, can write; a later run trusts the record only when it has that digest. A
// record without one (of an earlier build), or with another, is refused, however well it
// is sealed. The journal of a running run is kept in a folder only the system and the
// administrators can change (the user's own profile for a run without their rights), and
// a journal found anywhere else is never carried out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "setup/engine/install_record.h"
#include "setup/session/user_port.h"

namespace qv {

// The value of the Apps & features key that holds the record's digest.
inline constexpr const char* kRecordDigestValue = "RecordSHA256";

// The digest kept for the directory's key: the machine's, else the user's; nothing when
// neither is kept.
std::optional<std::string> KeptDigest(const std::string& uninstallKey);
// Keeps the digest where the record's entry is (or, without one, the machine's key where
// this run may write it, else the user's).
[[nodiscard]] bool KeepDigest(const InstallRecord& record, const std::string& uninstallKey, const std::string& digest,
                RunError& error);

// The folder this run keeps its journal in, made with its access list when missing: the
// machine's for a run that may write the machine's part of the registry, else the user's.
// Nothing, with the error, when it cannot be had, or is not the administrators' own.
std::optional<Path> JournalFolderForRun(RunError& error);
// Every folder a killed run may have left its journal in.
std::vector<Path> JournalFolders();
// The journal of a directory (by its key) in one of those folders.
Path JournalFileIn(const Path& folder, const std::string& uninstallKey);

// What a run found of the record of its directory.
struct FoundRecord {
    enum class State { None, Read, Refused } state = State::None;
    InstallRecord record;  // Read: as it stands (after an interrupted run was finished)
    std::string digest;    // Read: the SHA-256 of its file
    std::string problem;   // Refused: why
};

// Reads the record of the confined directory and judges it: refused when its digest is not
// the one kept, or when it is damaged, cut short or names what the confinement does not
// allow; the log says why and that the run goes on without it. With `finish`, the journal
// a killed run left is carried out first (committed or rolled back, and logged); without,
// nothing is written.
FoundRecord ReadInstallRecord(Confinement& confinement, UserPort& port, bool finish);

}  // namespace qv
