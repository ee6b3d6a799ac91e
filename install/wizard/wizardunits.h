// Start-up and shut-down of the wizard's units, after the engine's units
// start and before they end: the wizard's script classes are registered
// and the page registries made; at the end the registries go, with
// whatever entries are still in them.
#pragma once

namespace install {

void InitializeWizardUnits();
void FinalizeWizardUnits();

}  // namespace install
