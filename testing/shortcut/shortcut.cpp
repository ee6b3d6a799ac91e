#include "shortcut.h"

#include <objbase.h>
#include <shlobj.h>

namespace shortcut {

void PrintTo(const Shortcut& link, std::ostream* out) {
  if (!link.read) {
    *out << "(not read)";
    return;
  }
  *out << "{target " << link.target << ", arguments \"" << link.arguments << "\", in " << link.working_directory
       << "}";
}

Shortcut Read(const std::filesystem::path& file) {
  Shortcut link;
  HRESULT com = CoInitialize(nullptr);
  IShellLinkA* shell_link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&shell_link)))) {
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
      if (SUCCEEDED(persist->Load(file.wstring().c_str(), STGM_READ))) {
        link.read = true;
        char text[MAX_PATH] = {};
        if (SUCCEEDED(shell_link->GetPath(text, sizeof text, nullptr, 0))) link.target = text;
        if (SUCCEEDED(shell_link->GetArguments(text, sizeof text))) link.arguments = text;
        if (SUCCEEDED(shell_link->GetWorkingDirectory(text, sizeof text))) link.working_directory = text;
      }
      persist->Release();
    }
    shell_link->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return link;
}

}  // namespace shortcut
