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
       << ", hot key " << link.hot_key << "}";
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
        char text[MAX_PATH * 2] = {};
        if (shell_link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH) == S_OK) link.target = text;
        text[0] = 0;
        if (shell_link->GetArguments(text, sizeof text) == S_OK) link.arguments = text;
        text[0] = 0;
        if (shell_link->GetWorkingDirectory(text, sizeof text) == S_OK) link.working_directory = text;
        WORD hot_key = 0;
        if (shell_link->GetHotkey(&hot_key) == S_OK) link.hot_key = hot_key;
      }
      persist->Release();
    }
    shell_link->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return link;
}

}  // namespace shortcut
