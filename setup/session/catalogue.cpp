#include "setup/session/catalogue.h"

#include <memory>

#include "setup/session/file_system.h"
#include "setup/session/run_error.h"
#include "setup/session/text_encoding.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

// A run-time error raised while one catalogue file is read; it ends that file.
struct SkuError {
    RunError error;
};

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Reads one line without its line end; false at the end of the file.
bool ReadLine(std::FILE* file, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

// The catalogue reader: asks for keys of one open file and converts their values.
class SkuReader {
public:
    SkuReader(std::FILE* file, UserPort& port) : file_(file), port_(port) {}

    const std::string& currentKey() const { return key_; }

    // Raises an error while the given key is being read.
    [[noreturn]] void Fail(const std::string& key, const RunError& error) {
        key_ = key;
        throw SkuError{error};
    }

    std::string Text(const std::string& key) {
        key_ = key;
        return FromCdText(GetKeyValue(file_, key, port_));
    }

    // The leading numeric part, rounded to 16 bits.
    int16_t Integer(const std::string& key) {
        int16_t value = 0;
        if (!ToInt16(LeadingNumber(Text(key)), value)) Fail(key, err::Overflow());
        return value;
    }

    // A byte amount: thousands separators removed, empty is 0, anything else must be a number.
    double Size(const std::string& key) {
        const std::string text = StripCommas(Text(key));
        if (text.empty()) return 0;
        double value = 0;
        if (!ParseNumber(text, value)) Fail(key, err::TypeMismatch());
        return value;
    }

private:
    std::FILE* file_;
    UserPort& port_;
    std::string key_;
};

bool IsDb4OrMss(const Session& session) {
    return session.DbPlatformCode == "DB4" || session.DbPlatformCode == "MSS";
}

std::string LanguageCode(const Session& session) {
    if (session.LangIndex >= 0 && session.LangIndex < static_cast<int>(session.Languages.size()))
        return session.Languages[session.LangIndex].Code;
    return "ENG";
}

// Reads the record of an open catalogue file; false when the file describes no product.
bool ReadProduct(Session& session, SkuReader& sku, const std::string& productDir, double& size) {
    const int16_t prodNum = sku.Integer("ProdNum");
    if (prodNum == 0) return false;
    const int16_t baseDelta = sku.Integer("BaseDelta");

    size = 0;
    if (baseDelta != 0) {
        size = sku.Size("BSESize") + sku.Size(session.DbPlatformCode + "Size");
    } else {
        size = sku.Size("Size");
    }
    if (IsDb4OrMss(session)) size -= sku.Size("UNXSize");
    if (size <= 0) return false;

    // The catalogue holds 64 products; the 65th is reported like any read error.
    const std::string nameKey = LanguageCode(session) + "ProdName";
    if (session.ProductCount >= kMaxProducts) sku.Fail(nameKey, err::SubscriptOutOfRange());

    ProductRec p;
    p.ProductName = sku.Text(nameKey);
    if (p.ProductName.empty()) p.ProductName = sku.Text("ProductName");
    p.Release = sku.Text("Release");
    p.ModuleType = sku.Text("ModuleType");
    p.DefaultDir = sku.Text("DefaultDir");
    p.ProductDir = productDir;
    p.InstallOrder = sku.Integer("InstallOrder");
    p.ProductCode = sku.Text("ProductCode");
    p.Compress = sku.Integer("Compress");
    p.DbPlatform = sku.Text("DbPlatform");
    p.SoftwareType = sku.Text("SoftwareType");
    p.ToolsOpt = sku.Integer("ToolsOpt");
    p.BaseDelta = baseDelta;
    p.ProdNum = prodNum;
    if (!ToInt32(size, p.Size)) sku.Fail("Size", err::Overflow());
    p.Chosen = 0;
    p.SplitDB = sku.Integer("SplitDB");
    p.CommonDB = sku.Text("CommonDB");
    p.DescrDB = sku.Text("DescrDB");
    p.QVInstallField = sku.Text("QVInstallField");
    p.IncludeSys = sku.Integer("IncludeSys");
    p.LaunchProg = sku.Text("LaunchProg");
    const std::string selected = sku.Text("Selected");
    p.Selected = 0;
    if (!ToInt16(LeadingNumber(selected.empty() ? "1" : selected), p.Selected)) sku.Fail("Selected", err::Overflow());

    session.Products[++session.ProductCount] = p;
    return true;
}

}  // namespace

std::string GetKeyValue(std::FILE* file, const std::string& key, UserPort& port) {
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        port.ShowMessage({"ReadLine Error : 57\r\nDevice I/O error\r\nKey : " + key, kAppTitle, Buttons::Ok,
                          Icon::Exclamation, 1});
        return {};
    }
    std::string line;
    while (ReadLine(file, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (EqualsNoCase(Trim(line.substr(0, eq)), key)) return Trim(line.substr(eq + 1));
    }
    if (std::ferror(file)) {
        std::clearerr(file);
        port.ShowMessage({"ReadLine Error : 57\r\nDevice I/O error\r\nKey : " + key, kAppTitle, Buttons::Ok,
                          Icon::Exclamation, 1});
    }
    return {};
}

std::string StripCommas(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ',') out += c;
    return out;
}

void ReadSKU(Session& session, UserPort& port, const std::string& productDir) {
    const std::string path = productDir + kCatalogueName;
    if (!fs::IsFile(path)) return;
    RunError error;
    FilePtr file(fs::OpenFile(path, "rb", error), &std::fclose);
    if (!file) {
        Message box{" : " + std::to_string(error.number) + "\r\n" + error.description + "\r\n" + path, "ReadSKU",
                    Buttons::Ok, Icon::Exclamation, 1};
        box.cause = error;
        port.ShowMessage(box);
        return;
    }
    SkuReader sku(file.get(), port);
    double size = 0;
    try {
        if (!ReadProduct(session, sku, productDir, size)) return;
    } catch (const SkuError& e) {
        port.ShowMessage({sku.currentKey() + " : " + std::to_string(e.error.number) + "\r\n" +
                              e.error.description + "\r\n" + path,
                          "ReadSKU", Buttons::Ok, Icon::Exclamation, 1});
        return;
    }
    file.reset();
    AddScanBytes(session, port, size);
}

void AddScanBytes(Session& session, UserPort& port, double bytes) {
    ++session.ScanModuleCount;
    session.ScanTotalBytes += bytes;
    port.ShowScanModules(session.ScanModuleCount, FormatThousands(session.ScanTotalBytes));
}

void ScanSource(Session& session, UserPort& port, std::string& sourceDir) {
    if (sourceDir.empty() || sourceDir.back() != '\\') sourceDir += '\\';
    session.ProductCount = 0;

    // A CD that cannot be listed has no products: the main window then shows none.
    std::vector<std::string> names;
    RunError ignored;
    PassOver(fs::ListSubdirectories(sourceDir, names, ignored));
    for (size_t i = 1; i <= names.size(); ++i) {
        port.ShowScanDirectories(static_cast<int>(i));
        port.DoEvents();
    }
    for (const std::string& name : names) {
        ReadSKU(session, port, sourceDir + name + "\\");
        port.DoEvents();
    }
}

std::string ProductListItemText(const ProductRec& product) {
    return product.ProductName + "  " + product.Release;
}

}  // namespace qv
