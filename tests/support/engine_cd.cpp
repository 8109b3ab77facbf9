#include "support/engine_cd.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "setup/engine/file_list.h"
#include "support/temp_tree.h"
#include "tools/filelist/file_list_master.h"

namespace qvtest {

std::string PatternBytes(size_t n, uint32_t seed) {
    std::string out(n, '\0');
    uint32_t x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = static_cast<char>(x & 0xFF);
    }
    return out;
}

std::filesystem::path HostPath(const std::string& path) {
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return std::filesystem::path(p);
#endif
}

std::filesystem::file_time_type SourceFileTime() {
    using namespace std::chrono;
    // 3 February 2001, 04:05:06.7 UTC.
    const sys_time<milliseconds> t = sys_days{year{2001} / 2 / 3} + hours{4} + minutes{5} + milliseconds{6700};
    return std::chrono::file_clock::from_sys(t);
}

void MasterProduct(const std::string& productDir, const std::vector<CdFile>& files, int baseDelta) {
    WriteFile(productDir + "\\QVSETUP.SKU",
              "[Product]\r\nProdNum=1\r\nBaseDelta=" + std::to_string(baseDelta) + "\r\nSize=1\r\n");
    for (const CdFile& f : files) {
        WriteFile(productDir + "\\" + f.spec, f.content);
        std::filesystem::last_write_time(HostPath(productDir + "\\" + f.spec), SourceFileTime());
    }
    std::string error;
    if (!qvtools::WriteFileList(productDir, error)) throw std::runtime_error("file list: " + error);
}

std::map<std::string, std::string> ReadTree(const std::string& dir) {
    std::map<std::string, std::string> tree;
    const std::filesystem::path root = HostPath(dir);
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) return tree;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (ec || !it->is_regular_file()) continue;
        std::string relative = std::filesystem::relative(it->path(), root).generic_string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        std::ifstream in(it->path(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        tree[relative] = content.str();
    }
    return tree;
}

std::map<std::string, std::string> ListedFiles(const std::string& productDir) {
    std::map<std::string, std::string> files;
    std::ifstream list(HostPath(productDir + "\\" + qv::kFileListName), std::ios::binary);
    std::string line;
    while (std::getline(list, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::string spec = qv::ReadListField(line, 1);
        std::ifstream in(HostPath(productDir + "\\" + spec), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        files[spec] = content.str();
    }
    return files;
}

}  // namespace qvtest
