// The stored component stream: a readable text that names each object's
// class and name, its property values in the order they are set, and the
// objects it holds.
//
//   TInstallMainForm InstallMainForm {      // class, name, then the body
//     Caption = "Install"                   // text: "..." with \" \\ \n \r \t \xHH
//     Width = 729                           // integer, also -5 or 0x1F
//     AutoMaximizeWindow = False            // True/False, an enumeration value
//     InstallTypes = [itFull, itCompact]    // a set
//     PresetupFiles = ("a.txt", "b.txt")    // a string list
//     Information.CompanyName = "ZUV"       // a property of an owned object
//     DestDirType = psProgramFiles          // a component of the root, or nil
//     OnAfterInitialized = Install1AfterInitialized   // a method of the root
//     Entries = < { Ident = "a" } { } >      // a collection, item by item
//     Picture.Data = {                      // binary data: hexadecimal digits,
//       424D3E0000000000                    //   two a byte, blanks and line ends
//     }                                     //   anywhere between them
//     TInstall Install1 { ... }             // a held object, owned by the root
//     TTranslator { ... }                   // one without a name
//   }
//
// Reading sets the properties through their setters while every streamed
// component is loading, fixes up the component references once the whole
// text is read, then calls every component's Loaded and, after all of them,
// every component's AfterLoaded. Anything unknown (class, property, value,
// component, method), and a picture or icon that is none, raises EReadError
// naming it and its line.
#pragma once

#include <string>

#include "classes.h"

namespace forms {

class EReadError : public Exception {
  using Exception::Exception;
};

// Reads text into root: the outermost object's class must be root's class or
// one of its parents; the held objects are created with root as owner.
void ReadComponent(TComponent& root, const std::string& text);

// Writes root and the components it owns in the same format, each held
// object inside its parent control. A property equal to its stream default
// (an empty text, list or reference where none is declared) is left out.
std::string WriteComponent(const TComponent& root);

}  // namespace forms
