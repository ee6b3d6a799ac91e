// The built-in path specifiers that every install form carries, one
// instance of each, named by its SpecifierName ("psProgramFiles" ...).
//
// Most are rows of a table: a class name, a specifier name, a description,
// a short label and the routine that answers the path; any object may use
// them. The classes below have rules of their own: the specifiers of an
// object's container (its destination, its archive) and those of the
// engine (the install source, the main destination, the main archive).
#pragma once

#include <string>
#include <vector>

#include "paths/pathspec.h"

namespace install {

// A built-in specifier described by a row of the specifier table.
struct StandardSpecifierRow {
  const char* class_name;
  const char* specifier_name;
  const char* description;
  const char* display_name;
  // Answers the path; a routine may leave path as the caller passed it.
  void (*get_path)(std::string& path);
};

// One class per table row: its ClassType is the row's class.
class TTablePathSpecifier : public TStandardPathSpecifier {
public:
  explicit TTablePathSpecifier(const StandardSpecifierRow& row, const forms::ClassInfo& class_info)
      : row_(row), class_info_(class_info) {}
  static const forms::ClassInfo& StaticClass();
  const forms::ClassInfo& ClassType() const override { return class_info_; }
  void Create(forms::TComponent* owner) override;
  void GetDescription(std::string& text) override { text = row_.description; }
  void GetDisplayName(std::string& text) override { text = row_.display_name; }
  void GetPath(forms::TComponent* obj, std::string& path) override;

private:
  const StandardSpecifierRow& row_;
  const forms::ClassInfo& class_info_;
};

// The class description of a table row (made once per row).
const forms::ClassInfo& TableSpecifierClass(const StandardSpecifierRow& row);

// What a container that keeps its files in an archive answers: the
// archive's full path. The file-related install objects implement it.
class IArchivePathSource {
public:
  virtual ~IArchivePathSource() = default;
  virtual std::string GetArchivePath() = 0;
};

// The destination of the object's container. Only install objects with a
// container may use it.
class TpsContainerDestDir : public TStandardPathSpecifier {
  FORMS_CLASS(TpsContainerDestDir)
public:
  void Create(forms::TComponent* owner) override;
  void Validate(forms::TComponent* obj) override;
  void GetDescription(std::string& text) override { text = "Path of the group (container)"; }
  // "Main installation directory", or the container's group or directory.
  void GetDescriptionFor(forms::TComponent* obj, std::string& text) override;
  void GetPath(forms::TComponent* obj, std::string& path) override;
  void GetDisplayNameFor(forms::TComponent* obj, std::string& text) override;
};

// The archive of the object's container, which must be file-related.
class TpsContainerArchiveFile : public TStandardPathSpecifier {
  FORMS_CLASS(TpsContainerArchiveFile)
public:
  void Create(forms::TComponent* owner) override;
  void Validate(forms::TComponent* obj) override;
  void GetDescription(std::string& text) override { text = "Path to the archive file of the container"; }
  void GetPath(forms::TComponent* obj, std::string& path) override;
  void GetDisplayName(std::string& text) override { text = "Container archive file"; }
};

// The specifiers that need the engine; without one they refuse everyone.
class TEngineSpecifier : public TStandardPathSpecifier {
public:
  void Validate(forms::TComponent* obj) override;
};

// The folder the user ran the installation from.
class TpsInstallSource : public TEngineSpecifier {
  FORMS_CLASS(TpsInstallSource)
public:
  void Create(forms::TComponent* owner) override;
  void GetDescription(std::string& text) override { text = "Path from which the user ran the install"; }
  void GetPath(forms::TComponent* obj, std::string& path) override;
  void GetDisplayName(std::string& text) override { text = "Install source"; }
};

// The engine's destination; the engine itself may not use it.
class TpsMainInstall : public TEngineSpecifier {
  FORMS_CLASS(TpsMainInstall)
public:
  void Create(forms::TComponent* owner) override;
  void Validate(forms::TComponent* obj) override;
  void GetDescription(std::string& text) override { text = "Main installation directory"; }
  void GetPath(forms::TComponent* obj, std::string& path) override;
  void GetDisplayName(std::string& text) override { text = "Main install dir"; }
};

// The main archive: the self-extracting program when the engine was
// started from one, else files.1 on the current disk or beside the loader.
class TpsMainArchiveFile : public TEngineSpecifier {
  FORMS_CLASS(TpsMainArchiveFile)
public:
  void Create(forms::TComponent* owner) override;
  void GetDescription(std::string& text) override {
    text = "Archive containing most or all non-internet installation files";
  }
  void GetPath(forms::TComponent* obj, std::string& path) override;
  void GetDisplayName(std::string& text) override { text = "Main archive"; }
  // The folder of the disk that holds the main archive now.
  std::string DiskPath() const { return disk_path_; }
  void SetDiskPath(const std::string& v) { disk_path_ = v; }

private:
  std::string disk_path_;
};

// The standard specifier classes in registration order: the core ones,
// then the shell folders, then the Office folders.
std::vector<const forms::ClassInfo*> StandardPathSpecifierClasses();

}  // namespace install
