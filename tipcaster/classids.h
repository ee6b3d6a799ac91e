// The class identifiers of the property pages; the control's own
// identifiers come with the type library's header.
#ifndef TIPCASTER_CLASSIDS_H
#define TIPCASTER_CLASSIDS_H

#include <guiddef.h>

// {550BADC5-E6A3-11D0-A389-0000E81F4743}
DEFINE_GUID(CLSID_TSHelpButtonPropPage, 0x550badc5, 0xe6a3, 0x11d0, 0xa3, 0x89, 0x00, 0x00, 0xe8, 0x1f, 0x47,
            0x43);
// {82F97762-9EFC-11D2-8E9E-00AA00A77D26}
DEFINE_GUID(CLSID_TSHelpJavaHelpSettings, 0x82f97762, 0x9efc, 0x11d2, 0x8e, 0x9e, 0x00, 0xaa, 0x00, 0xa7, 0x7d,
            0x26);

// The system's font property page, {0BE35200-8F91-11CE-9DE3-00AA004BB851}.
DEFINE_GUID(CLSID_SystemFontPage, 0x0be35200, 0x8f91, 0x11ce, 0x9d, 0xe3, 0x00, 0xaa, 0x00, 0x4b, 0xb8, 0x51);

#endif
