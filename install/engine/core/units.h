// Start-up and shut-down of the installer's units, in a fixed order, called
// from the program's entry (never from static constructors): the classes the
// script may name are registered and the global lists made; at the end the
// lists go after the script that refers to them.
#pragma once

namespace install {

// Registers the script classes and makes the global lists.
void InitializeInstallUnits();
// Frees the global lists and forgets the classes. The script must be gone
// already (the application object, which owns the main form, finalised).
void FinalizeInstallUnits();

}  // namespace install
