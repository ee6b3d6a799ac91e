#include "paths/metavars.h"

#include <cctype>

#include "core/container.h"
#include "core/exceptions.h"
#include "core/install.h"
#include "core/translator.h"
#include "paths/osroutines.h"
#include "paths/registry.h"

namespace install {

namespace {

// The folder that receives the shortcut.
std::string LinkFolder(TInstallObject* link) {
  if (!link)
    throw EAICannotExpandContainerDirMV(
        TranslateString("Cannot expand the %a meta variable because the component is Nil"));
  return link->GetFullDestDir();
}

std::string ContainerFolder(TInstallObject* link) {
  if (!link)
    throw EAICannotExpandContainerDirMV(
        TranslateString("Cannot expand the %c meta variable because the component is Nil"));
  if (!link->Container())
    throw EAICannotExpandContainerDirMV(
        TranslateString("Cannot expand the %c meta variable because the Container property is Nil"));
  return link->Container()->GetFullDestDir();
}

std::string InstallFolder() {
  if (!TCustomInstall::Instance())
    throw EAICannotExpandInstallDirMV(
        TranslateString("Cannot expand the %i meta variable because there is no TInstall component"));
  return TCustomInstall::Instance()->GetFullDestDir();
}

// The replacement of the letter after a percent sign; empty for a letter
// that stands for nothing.
std::string MetaVariable(char letter, TInstallObject* link) {
  switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'a': return LinkFolder(link);
    case 'b': return GetProgramsMenuDir();
    case 'c': return ContainerFolder(link);
    case 'd': return GetDesktopDir();
    case 'f': return GetCommonFilesDir();
    case 'i': return InstallFolder();
    case 'm': return GetStartMenuDir();
    case 'p': return GetProgramFilesDir();
    case 's': return GetSystemDir();
    case 'w': return GetWindowsDir();
    default: return "";
  }
}

}  // namespace

std::string ExpandMetaVariables(const std::string& text, TInstallObject* link) {
  std::string out;
  bool percent_pending = false;
  for (char c : text) {
    if (!percent_pending) {
      if (c == '%')
        percent_pending = true;
      else
        out += c;
      continue;
    }
    out += c == '%' ? "%" : RemoveTrailingBackslash(MetaVariable(c, link));
    percent_pending = false;
  }
  return out;
}

}  // namespace install
