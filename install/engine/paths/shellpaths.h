// The shell-folder and Office path specifiers: standard specifiers that
// any object may use. The shell folders are asked of the shell by their
// folder identifier, chosen by the system family (NT, 9x, other); a family
// without the folder gives "undefined" or leaves the path as it was. The
// Office folders come from the registry of the installed word processor's
// Office version, with the Program Files folder as their fallback.
#pragma once

#include <string>
#include <vector>

#include "paths/standardpaths.h"

namespace install {

// The shell's special folder csidl, or empty when the shell has no
// file-system path for it.
std::string GetSpecialFolderPath(int csidl);

// The Office version of prog_id's current version (Word.Document.8 gives
// 8) when its server program exists; -1 otherwise.
int GetOfficeVersion(const std::string& prog_id);
// The HKCU key of Office's FileNew setting name, or of Word's options, for
// the installed version (7 and 8 under Software\Microsoft, 9 to 19 under
// Software\Policies\Microsoft); empty for any other version.
std::string GetOfficeFileNewKey(const std::string& name);
std::string GetWordOptionsKey();
// The HKCU string value_name of key (empty: its default value), else the
// Program Files folder and sub_dir; without trailing backslash.
std::string ReadOfficePath(const std::string& key, const std::string& value_name, const std::string& sub_dir);
// The Program Files folder and sub_dir without an Office version between
// 7 and 19; else the FileNew key's default value, or Word's option name.
std::string GetOfficeTemplatesPath(const std::string& name, const std::string& sub_dir);
std::string GetOfficeWordPath(const std::string& name, const std::string& sub_dir);

// The fifteen shell-folder rows and the six Office rows, in registration
// order.
std::vector<const StandardSpecifierRow*> ShellFolderSpecifierRows();

}  // namespace install
