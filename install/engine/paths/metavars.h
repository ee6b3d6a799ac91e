// Expansion of the %-meta-variables in a shortcut's parameters: %a the
// shortcut's folder, %c its container's destination, %i the installation's
// destination, %b %d %f %m %p %s %w the well-known folders, %% a percent
// sign. An unknown letter vanishes with its percent sign; a percent sign
// that ends the text is dropped. Every replacement comes without a
// trailing backslash.
#pragma once

#include <string>

namespace install {

class TInstallObject;

// link is the shortcut whose parameters are expanded, or nil; %a and %c
// raise EAICannotExpandContainerDirMV without it, %i raises
// EAICannotExpandInstallDirMV without an installation.
std::string ExpandMetaVariables(const std::string& text, TInstallObject* link);

}  // namespace install
