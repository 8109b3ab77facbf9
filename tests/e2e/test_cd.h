// Installation CDs that end-to-end tests master for themselves: a language list, product
// folders with their catalogue entries and files, and each product's file list written
// by the file-list tool's library, so that the installer verifies what it copies.
#pragma once

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_tree.h"
#include "tools/filelist/file_list_master.h"

namespace qve2e {

struct TestFile {
    std::string path;     // relative to the product folder, "\" separators
    std::string content;  // the bytes of the file
};

struct TestProduct {
    std::string folder;        // the product's folder on the CD
    std::string name;          // ProductName
    std::string moduleType = "Software to File Server";
    int installOrder = 10;
    std::string defaultDir;    // DefaultDir, none when empty
    std::string selected;      // Selected, absent when empty (selected by default)
    std::string release = "8.01";
    std::string size;          // Size as written; empty: the bytes of the files
    std::vector<TestFile> files;
    std::string softwareType = "Documentation";
    std::string germanName{};  // DEUProdName, absent when empty
};

// A product of the default install type in this folder, with this name and install order.
inline TestProduct MakeProduct(const std::string& folder, const std::string& name, int installOrder) {
    TestProduct product;
    product.folder = folder;
    product.name = name;
    product.installOrder = installOrder;
    return product;
}

// A file of `size` bytes whose content depends on seed.
inline std::string FileBytes(size_t size, uint32_t seed);

// The tools product, first in install order: the programs of the program group's
// shortcuts and a workstation configuration for the install to edit.
inline TestProduct ToolsProduct() {
    TestProduct tools = MakeProduct("tools", "Marrowtools", 1);
    tools.softwareType = "Marrowtools";
    tools.files = {{"setup\\qvtools8.cfg", "[Startup]\r\nDBType=REG_SZ=SQLBASE\r\n\r\n[QVTOOLS]\r\nLanguage=ENG\r\n"},
                   {"bin\\client\\winx86\\qvcfg.exe", FileBytes(70000, 1)},
                   {"bin\\client\\winx86\\qvdft.exe", FileBytes(5000, 2)},
                   {"bin\\client\\winx86\\qvtrans.exe", FileBytes(5000, 3)},
                   {"setup\\dbsetup\\setup.exe", FileBytes(5000, 4)}};
    return tools;
}

// A file of `size` bytes whose content depends on seed.
inline std::string FileBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

class TestCd {
public:
    // The CD's root folder, without a trailing "\".
    const std::string& root() const { return tree_.root(); }
    const qvtest::TempTree& tree() const { return tree_; }

    // Writes "qvlang.inf" with these lines.
    void Languages(const std::vector<std::string>& lines) const {
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        tree_.write("qvlang.inf", text);
    }

    void Add(const TestProduct& product) {
        uint64_t bytes = 0;
        for (const TestFile& file : product.files) {
            tree_.write(product.folder + "\\" + file.path, file.content);
            bytes += file.content.size();
        }
        const int number = ++products_;
        std::ostringstream sku;
        sku << "[Product]\r\nProdNum=" << number << "\r\nProductName=" << product.name
            << "\r\nRelease=" << product.release << "\r\nModuleType=" << product.moduleType
            << "\r\nSoftwareType=" << product.softwareType << "\r\nInstallOrder=" << product.installOrder
            << "\r\nProductCode=P" << number << "\r\nCompress=0\r\nDbPlatform=ALL\r\nBaseDelta=0\r\n"
            << "Size=" << (product.size.empty() ? std::to_string(bytes > 0 ? bytes : 1) : product.size) << "\r\n";
        if (!product.defaultDir.empty()) sku << "DefaultDir=" << product.defaultDir << "\r\n";
        if (!product.germanName.empty()) sku << "DEUProdName=" << product.germanName << "\r\n";
        if (!product.selected.empty()) sku << "Selected=" << product.selected << "\r\n";
        tree_.write(product.folder + "\\QVSETUP.SKU", sku.str());
        folders_.push_back(product.folder);
    }

    // Writes the file list of every product; false with the reason on failure.
    bool Master(std::string& error) const {
        for (const std::string& folder : folders_)
            if (!qvtools::WriteFileList(tree_.path(folder), error)) return false;
        return true;
    }

    // Gives one entry of a product's file list a checksum that its file does not have.
    bool SpoilChecksum(const std::string& folder, const std::string& spec) const {
        const std::string listName = folder + "\\" + qvtools::kFileListName;
        std::istringstream lines(tree_.read(listName));
        std::string out, line;
        bool found = false;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.rfind(spec + ",", 0) == 0) {
                const size_t comma = line.rfind(',');
                line = line.substr(0, comma + 1) + (line.substr(comma + 1) == "12345" ? "54321" : "12345");
                found = true;
            }
            out += line + "\r\n";
        }
        tree_.write(listName, out);
        return found;
    }

private:
    qvtest::TempTree tree_;
    std::vector<std::string> folders_;
    int products_ = 0;
};

}  // namespace qve2e
