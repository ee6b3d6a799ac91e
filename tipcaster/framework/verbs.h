// The verbs a control offers its container: Edit (the primary verb) and
// Properties, enumerated without the registry.
#ifndef TIPCASTER_FRAMEWORK_VERBS_H
#define TIPCASTER_FRAMEWORK_VERBS_H

#include <windows.h>
#include <ole2.h>

namespace com {

HRESULT EnumControlVerbs(IEnumOLEVERB **verbs);

}  // namespace com

#endif
