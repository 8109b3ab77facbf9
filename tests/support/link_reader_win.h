// Reads a .LNK file back through the shell's link object (Windows tests only).
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <optional>
#include <string>

namespace qvtest {

struct LinkFields {
    std::string target, args, workdir, description;
};

// Loads a .LNK file through the shell's link object.
inline std::optional<LinkFields> ReadLink(const std::string& file) {
    const HRESULT init = CoInitialize(nullptr);
    std::optional<LinkFields> fields;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* persist = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
            wchar_t wide[MAX_PATH];
            if (MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH) &&
                SUCCEEDED(persist->Load(wide, STGM_READ))) {
                char buffer[1024];
                LinkFields f;
                if (SUCCEEDED(link->GetPath(buffer, sizeof buffer, nullptr, SLGP_RAWPATH))) f.target = buffer;
                if (SUCCEEDED(link->GetArguments(buffer, sizeof buffer))) f.args = buffer;
                if (SUCCEEDED(link->GetWorkingDirectory(buffer, sizeof buffer))) f.workdir = buffer;
                if (SUCCEEDED(link->GetDescription(buffer, sizeof buffer))) f.description = buffer;
                fields = f;
            }
            persist->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return fields;
}

}  // namespace qvtest
