// The uninstall data of a product: one key per product under HKLM's
// Uninstall key, holding the lists a separate uninstaller reads. Each list
// is a subkey with a decimal counter "Entries" (absent = 0) and entries
// numbered from 1.
//
// The file list takes the installed files and links. When a list can't
// take an entry (its counter is not a number, or a write fails) the entry
// goes to the next numbered list: Files, Files1, Files2 ... up to a bound,
// after which the last failure is raised. The ActiveX list has no fallback.
// Failures raise EIRCannotWriteValue, which ends an installation run.
#pragma once
#include <string>

namespace install {

// The product's key: the Uninstall key, a backslash and the product name
// as it stands (trailing blanks kept).
std::string UninstallProductKey(const std::string& product_name);

// How many file lists (Files and Files1 ...) an entry may try.
constexpr int kUninstallFileLists = 10;

// Adds the full path of an installed file or link to the product's file
// list; product_key is UninstallProductKey's.
void AddUninstallFileEntry(const std::string& product_key, const std::string& path);

// Adds an ActiveX file as "path;kind": kind "2" for a type library (.TLB),
// "1" for a program (.EXE), "0" for anything else.
void AddUninstallActiveXEntry(const std::string& product_key, const std::string& path);

}  // namespace install
