// The file list QVSETUP.INF of a product: read line by line as the passes read it, each
// line's fields, selection and paths looked at, then the copy pass run over it on a small
// product folder, with every box answered (Retry first, so that a retried entry takes its
// size back out of the progress).
#include "setup/engine/file_list.h"
#include "setup/engine/open_files.h"
#include "setup/session/languages.h"
#include "setup/session/platforms.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char* EndText(qv::LineReader::LineEnd end) {
    switch (end) {
        case qv::LineReader::LineEnd::CrLf: return "\r\n";
        case qv::LineReader::LineEnd::Cr: return "\r";
        case qv::LineReader::LineEnd::Lf: return "\n";
        case qv::LineReader::LineEnd::None: break;
    }
    return "";
}

// Whether root\spec, as Windows resolves it, names something strictly below root without
// passing above root on the way: a name drops its trailing dots and blanks, and a name of
// dots is taken for the worst it can mean, "..".
bool StaysBelow(const std::string& spec) {
    int depth = 0;
    size_t begin = 0;
    for (;;) {
        const size_t slash = spec.find('\\', begin);
        std::string_view name(spec.data() + begin, (slash == std::string::npos ? spec.size() : slash) - begin);
        const bool dotted = name.find('.') != std::string_view::npos;
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
        if (!name.empty()) ++depth;
        else if (dotted && --depth < 0) return false;
        if (slash == std::string::npos) return depth > 0;
        begin = slash + 1;
    }
}

void CheckLine(const std::string& line) {
    for (int n = 0; n <= 5; ++n) {
        const std::string field = qv::ReadListField(line, n);
        QV_FUZZ_CHECK(field.find(',') == std::string::npos);
    }
    qv::Session session;
    qv::ProductRec plain, delta;
    delta.BaseDelta = 1;
    for (const char* code : {"SBS", "MSS", "DB4"}) {
        qv::SetDbPlatform(session, *qv::FindDbPlatform(code));
        qv::IsLineSelected(session, plain, line);
        qv::IsLineSelected(session, delta, line);
    }
    // A spec the passes accept never leads out of the install directory.
    const std::string spec = qv::ReadListField(line, 1);
    const qv::Path root = qvfuzz::PathOf("c:\\qv");
    for (const qv::ProductRec* product : {&plain, &delta}) {
        qv::EntryPaths paths;
        std::string why;
        if (!qv::MakeEntryPaths(*product, "d:\\PROD\\", root, spec, paths, why)) continue;
        QV_FUZZ_CHECK(paths.destFile.IsWithin(root) && paths.destFile != root);
        const std::string destPart(paths.destFile.RelativeTo(root));
        if (qv::IsSafeFileSpec(spec) && qv::IsSafeFileSpec(destPart)) {
            QV_FUZZ_CHECK(StaysBelow(spec));
            QV_FUZZ_CHECK(StaysBelow(destPart));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string productDir = [] {
        const std::string dir = qvfuzz::ScratchFolder("cd/PROD");
        qvfuzz::MakeSampleProduct(dir);
        return dir + "/";
    }();
    static const std::string destRoot = qvfuzz::ScratchFolder("dest");
    const std::string_view input = qvfuzz::Bytes(data, size);
    qvfuzz::WriteFile(productDir + qv::kFileListName, input);

    // The reader gives the file back byte for byte: every line with its end.
    {
        qv::LineReader reader;
        qv::RunError error;
        QV_FUZZ_CHECK(reader.Open(productDir + qv::kFileListName, error));
        std::string line, rebuilt;
        while (reader.ReadLine(line, error)) {
            QV_FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
            rebuilt += line;
            rebuilt += EndText(reader.LastLineEnd());
            QV_FUZZ_CHECK(reader.Position() == static_cast<int64_t>(rebuilt.size()));
            CheckLine(line);
        }
        QV_FUZZ_CHECK(error.number == 0);
        QV_FUZZ_CHECK(rebuilt == input);
    }

    qv::Session session;
    session.Languages = {qv::EnglishLanguage()};
    qv::SetDbPlatform(session, *qv::FindDbPlatform("SBS"));
    qv::ProductRec& product = session.ListedProducts[1];
    product.ProductName = "Fuzz";
    product.ProductDir = productDir;
    product.Size = 100000;
    session.CurrentProduct = 1;
    session.ModuleBytes = 100000;
    session.ProductBytes = 100000;
    session.InstallStartTime = 46000.0;
    qvfuzz::AnsweringPort port;
    qv::InstallJournal journal(qvfuzz::PlacesOf(destRoot));
    qv::InstallDirectory(session, port, journal, productDir, qvfuzz::PathOf(destRoot));
    QV_FUZZ_CHECK(qv::OpenFileCount() == 0);
    qvfuzz::EmptyFolder(destRoot);
    return 0;
}
