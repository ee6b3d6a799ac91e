// Shell link files through the shell's link object, and Internet shortcuts
// through the private-profile functions. The thread's COM initialisation is
// the program's (made at start).
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <vector>

#include "items/shelllinks.h"
#include "paths/filesystem.h"

namespace install {

namespace {

// The shell's link object: CLSID_ShellLink, IID_IShellLinkA, IID_IPersistFile.
const CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kShellLinkInterface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kPersistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The characters the shell's file name buffer holds, terminator included.
constexpr int kLinkFileNameBuffer = MAX_PATH;

// The system's text for a COM result.
std::string ResultMessage(HRESULT result) {
  std::string message = SystemErrorMessage(static_cast<uint32_t>(result));
  while (!message.empty() && message.back() == ' ') message.pop_back();
  return message.empty() ? forms::Format("COM error %x", {int64_t{static_cast<uint32_t>(result)}}) : message;
}

void Check(HRESULT result) {
  if (FAILED(result)) throw ECOMError(ResultMessage(result), static_cast<int32_t>(result));
}

// Releases a COM interface when it goes out of scope.
template <class I>
struct Released {
  I* p = nullptr;
  ~Released() {
    if (p) p->Release();
  }
};

}  // namespace

void SaveShellLinkFile(const ShellLinkFile& link) {
  Released<IShellLinkA> shell_link;
  Check(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkInterface,
                         reinterpret_cast<void**>(&shell_link.p)));
  Check(shell_link.p->SetPath(link.target.c_str()));
  Check(shell_link.p->SetHotkey(link.hot_key));
  Check(shell_link.p->SetArguments(link.arguments.c_str()));
  Check(shell_link.p->SetWorkingDirectory(link.working_directory.c_str()));
  Released<IPersistFile> file;
  Check(shell_link.p->QueryInterface(kPersistFileInterface, reinterpret_cast<void**>(&file.p)));
  std::vector<wchar_t> name(kLinkFileNameBuffer);
  int length = link.file_name.empty()
                   ? 0
                   : MultiByteToWideChar(CP_ACP, 0, link.file_name.c_str(), static_cast<int>(link.file_name.size()),
                                         name.data(), kLinkFileNameBuffer - 1);
  if (length == 0 && !link.file_name.empty())
    throw forms::Exception(forms::Format("The shortcut file name %s is longer than %d characters",
                                         {link.file_name, int64_t{kLinkFileNameBuffer - 1}}));
  name[static_cast<size_t>(length)] = L'\0';
  Check(file.p->Save(name.data(), TRUE));
}

bool WriteInternetShortcutFile(const std::string& file_name, const std::string& url) {
  return WritePrivateProfileStringA("InternetShortcut", "URL", url.c_str(), file_name.c_str()) != 0;
}

}  // namespace install
