// The installer's exception classes. IException and its descendants pass
// their message through the global translator (translator.h), so a script
// that carries translations shows them in the user's language.
#pragma once

#include <string>
#include <vector>

#include "sysutils.h"

namespace install {

using forms::EAbort;
using forms::Exception;
using forms::FormatArg;

#define INSTALL_EXCEPTION(Class, Parent) \
  class Class : public Parent {          \
  public:                                \
    using Parent::Parent;                \
  };

INSTALL_EXCEPTION(EAI, Exception)

// The user cancelled the installation.
class EAIUserAbort : public EAI {
public:
  EAIUserAbort() : EAI("Installation aborted by the user") {}
};

INSTALL_EXCEPTION(EAICannotExpandContainerDirMV, EAI)
INSTALL_EXCEPTION(EAICannotExpandInstallDirMV, EAI)
INSTALL_EXCEPTION(EUserAbortInstall, Exception)
INSTALL_EXCEPTION(ECustomQuendricAbnormal, Exception)
INSTALL_EXCEPTION(EQuendricAbnormal, ECustomQuendricAbnormal)
INSTALL_EXCEPTION(EQndrCompress, EQuendricAbnormal)

// The target disk took fewer bytes than it was given.
class EqcDiskFull : public EQndrCompress {
public:
  EqcDiskFull() : EQndrCompress("The disk is full") {}
};

// The user cancelled an archive operation.
class EqcAborted : public EQndrCompress {
public:
  EqcAborted() : EQndrCompress("Operation aborted by user") {}
};

INSTALL_EXCEPTION(EAPIRoutines, EQuendricAbnormal)
INSTALL_EXCEPTION(EProgramLauncher, EQuendricAbnormal)

class EProgramLauncherFailed : public EProgramLauncher {
public:
  EProgramLauncherFailed(const std::string& message, int error_code)
      : EProgramLauncher(message), error_code_(error_code) {}
  int ErrorCode() const { return error_code_; }

private:
  int error_code_;
};

// A failure whose message is shown translated.
class IException : public ECustomQuendricAbnormal {
public:
  explicit IException(const std::string& message);
  // The translated pattern filled with args. A translation whose specifiers
  // do not fit the arguments falls back to the English pattern.
  IException(const std::string& pattern, const std::vector<FormatArg>& args);
};

INSTALL_EXCEPTION(IEPathSpecifier, IException)
INSTALL_EXCEPTION(IEPathSpecifierList, IException)
INSTALL_EXCEPTION(IEPathSpecifierClassList, IException)
INSTALL_EXCEPTION(IEInstallContainer, IException)
INSTALL_EXCEPTION(IEFileRelated, IException)
INSTALL_EXCEPTION(IEFileContainer, IException)
INSTALL_EXCEPTION(IENoQuendricPath, IException)
INSTALL_EXCEPTION(IECustomInstallFile, IException)
INSTALL_EXCEPTION(IECustomInstallFileList, IException)
INSTALL_EXCEPTION(IEContainerList, IException)
INSTALL_EXCEPTION(IEInstallGroup, IException)
INSTALL_EXCEPTION(IEInstall, IException)
INSTALL_EXCEPTION(IEUninstallEXE, IException)
INSTALL_EXCEPTION(IEInstallShellLink, IException)
INSTALL_EXCEPTION(IEShellLinkGroup, IException)
INSTALL_EXCEPTION(IEInstallShellLinkList, IException)
INSTALL_EXCEPTION(IERegistryEntry, IException)
INSTALL_EXCEPTION(IERegistryEntries, IException)
INSTALL_EXCEPTION(IEInstallRegistry, IException)
INSTALL_EXCEPTION(IEInstallRegistryList, IException)
INSTALL_EXCEPTION(IEfcDuplicateFile, IEFileContainer)
INSTALL_EXCEPTION(IEfcSetAttributes, IEFileContainer)
INSTALL_EXCEPTION(IEFileRel_NoNetLocation, IEFileRelated)
INSTALL_EXCEPTION(IEInstallNetLocNil, IEInstall)

}  // namespace install
