// TCustomInstallFile / TInstallFile: one file of the install script. It
// comes from its container's archive (member IncludeFromDir\FileName, keyed
// by its file identifier) and goes to GetFullDestDir()\DestName. Installing
// it decides by OverwriteMode against the file on disk, replaces a file in
// use at the next start of the system, extracts it with progress sent up
// to its container, and then registers it: help file, shared-DLL counter,
// COM registration by type (deferred to the run's pending list while the
// install runs) and the uninstall entries. At build time it compresses its
// source into its archive, or copies it to its destination.
//
// Every file is in the file list (FileList); file identifiers 0..1999 are
// handed out from one table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "items/filecontainer.h"
#include "paths/filesystem.h"

namespace install {

enum TInstallFileType : uint8_t {
  iftNormal, iftJustADLL, iftApplicationSpecificDLL, iftVendorSharedDLL, iftSystemWideDLL
};
extern const std::vector<std::string> kInstallFileTypeNames;

class TCustomInstallFile : public TFileRelated {
  FORMS_CLASS(TCustomInstallFile)
public:
  static constexpr int kMaxVersion = 20;

  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  void Loaded() override;
  int RegisteredType() const override { return 2000; }
  void DoInstall() override;
  void ResumeUnfinished() override;
  void WriteUninstallInfo(const std::string& key) override;
  void SetContainer(TInstallContainer* value) override;
  void SetDestDir(const std::string& value) override;
  void SetDestDirType(TCustomPathSpecifier* value) override;

  // Raises EAIUserAbort: the archive component's answer to a cancel.
  virtual void Abort();
  virtual void ReplaceInUse();
  virtual void SetActiveX(bool value);
  virtual void SetDestName(const std::string& value);
  virtual void SetFileName(const std::string& value);
  virtual void SetFileType(TInstallFileType value);
  virtual void SetIncludeFromDir(const std::string& value);
  // ifsCompress compresses the file, ifsInstall processes it, ifsCopying
  // copies it; State is ifsNone again afterwards.
  virtual void SetState(TInstallFileState state);
  // Build time: the source compressed into GetArchivePath() with
  // AddToArchive under the file's identifier, framed by OnBeforeCompress
  // and 1004, 1005 and OnAfterCompress; an excluded file is left out.
  virtual void Compress();
  // Build time: the source copied to the destination path under the
  // overwrite rule, framed by OnBeforeCopy and 1006, 1007 and OnAfterCopy;
  // an excluded file is left out.
  virtual void CopyFile();
  // Size, date and version from the file's archive member: the archive
  // the specifier names, or for a file that comes over the net its own or
  // its container's downloaded archive; nothing is read before that is
  // there (the net file list gives the three meanwhile).
  virtual void ReadArchiveInfo();
  // Size, date and version from the source file itself.
  virtual void ReadFileInfo();
  // A file's own location, else its container's, and for a file without
  // container the install's default location.
  TCustomNetInstallLocation* EffectiveNetLocation() const override;
  // Whether the file comes in an archive of its own over the net: a file
  // with a location of its own, or whose overwrite rule compares versions
  // or dates.
  bool HasOwnArchive() const;
  // Whether the distribution brings this file over the net: every file of
  // a web distribution, the Net files of a traditional one with net.
  bool ComesOverTheNet() const;
  // While the file installs, a file that comes over the net is in its own
  // downloaded archive, else in its container's; otherwise (and before
  // they are downloaded) the archive the specifier names.
  std::string GetArchivePath() override;
  // Whether a compression with these options (co... bits) puts the file
  // into a net archive.
  bool NetBound(int options) const;
  // The compression marks: the first is 1 once a container's compression
  // bound the file for a net archive and 2 once the file was compressed;
  // the second is 1 when it went into a net archive of its own. The
  // install's compression resets both.
  uint8_t CompressedMark() const { return compressed_mark_; }
  uint8_t OwnNetArchiveMark() const { return own_net_archive_mark_; }
  void ResetCompressMarks() { compressed_mark_ = own_net_archive_mark_ = 0; }
  void MarkNetCompressed() { compressed_mark_ = 1; }
  void MarkOwnNetArchive() { own_net_archive_mark_ = 1; }
  // The archive the last compression wrote.
  const std::string& CompressedArchive() const { return compressed_archive_; }

  // Whether the source file's version information asks for self-registration.
  virtual bool HasOLESelfRegister();
  virtual bool IncrementSharedDLLCount();
  // COM registration by the extension of FileName: .EXE as a server,
  // .TLB as a type library, anything else as a self-registering library.
  void RegisterFileByType();
  virtual void RegisterDllServer();
  virtual void RegisterTypeLibrary();
  virtual void RegisterExeServer();

  // IncludeFromDir\FileName: the member's name in the archive.
  std::string SourcePath() const;
  // GetFullDestDir()\DestName: where the file is written.
  std::string DestinationPath();
  // Where the installed file is for good: the destination path, or, for a
  // file written under a temporary name because its target was in use, the
  // target it replaces at the next start of the system.
  std::string InstalledPath();

  std::string RunParameters() const { return run_parameters_; }
  void SetRunParameters(const std::string& v) { run_parameters_ = v; }
  TQndrFileAttributesSet InstallAttributes() const { return install_attributes_; }
  void SetInstallAttributes(TQndrFileAttributesSet v) { install_attributes_ = v; }
  bool ActiveX() const { return active_x_; }
  std::string DestName() const { return dest_name_; }
  std::string FileName() const { return file_name_; }
  TInstallFileType FileType() const { return file_type_; }
  std::string IncludeFromDir() const { return include_from_dir_; }
  TOverwriteType OverwriteMode() const { return overwrite_mode_; }
  void SetOverwriteMode(TOverwriteType v) { overwrite_mode_ = v; }
  bool RegisterAsHelp() const { return register_as_help_; }
  void SetRegisterAsHelp(bool v) { register_as_help_ = v; }
  bool RunAfterInstall() const { return run_after_install_; }
  void SetRunAfterInstall(bool v) { run_after_install_ = v; }
  bool UpdateDLLCounter() const { return update_dll_counter_; }
  void SetUpdateDLLCounter(bool v) { update_dll_counter_ = v; }
  int32_t UniqueID() const { return file_id_; }
  void SetUniqueID(int32_t id);
  int32_t Size() const { return size_; }
  int32_t CompressedSize() const { return compressed_size_; }
  double Date() const { return date_; }
  const std::string& Version() const { return version_; }
  // Size, date and version as a net distribution's file list gives them.
  void SetFileListInfo(int32_t size, double date, const std::string& version) {
    size_ = size;
    date_ = date;
    version_ = version;
  }
  TInstallFileState State() const { return state_; }
  // Whether the target was in use and waits for the next start.
  bool InUse() const { return in_use_; }

  void SetOnAfterInstall(TInstallFileNotifyEvent h) { on_after_install_ = std::move(h); }
  void SetOnBeforeInstall(TInstallFileNotifyEvent h) { on_before_install_ = std::move(h); }
  void SetOnStatus(TInstallFileStatusEvent h) { on_status_ = std::move(h); }
  void SetOnNewDisk(TInstallFileNewDiskEvent h) { on_new_disk_ = std::move(h); }
  void SetOnReplacing(TInstallFileNotifyEvent h) { on_replacing_ = std::move(h); }
  // Events of the build.
  void SetOnAfterCompress(TInstallFileNotifyEvent h) { on_after_compress_ = std::move(h); }
  void SetOnAfterCopy(TInstallFileNotifyEvent h) { on_after_copy_ = std::move(h); }
  void SetOnBeforeCompress(TInstallFileNotifyEvent h) { on_before_compress_ = std::move(h); }
  void SetOnBeforeCopy(TInstallFileNotifyEvent h) { on_before_copy_ = std::move(h); }

protected:
  // The values of a file, changed together so that the rules between them
  // hold (a type library is ActiveX, a shared DLL is counted ...).
  struct FileProperties {
    TInstallContainer* container;
    std::string include_from_dir;
    bool active_x;
    TInstallFileType file_type;
    TCustomPathSpecifier* dest_dir_type;
    std::string dest_name;
    std::string dest_dir;
    std::string file_name;
  };
  FileProperties CurrentProperties() const;
  void SetFileProperties(FileProperties values);

  // Sends code with the file up to the container.
  void SendUp(int code, forms::TPersistent* param);
  TInstallFileState& StateValue() { return state_; }

private:
  bool WriteDecision();
  // The file's container when it is a file container, else none.
  TFileContainer* FileContainer() const;
  // The archive the file is read from, when it comes over the net: its
  // own downloaded one, else its container's downloaded one; empty when
  // neither is there.
  std::string DownloadedArchive() const;
  // Downloads the archive the file is extracted from, when it comes over
  // the net and that archive is not there yet.
  void FetchArchive();
  void Extract();
  void AfterCopy();
  void FinishInstall();
  void ArchiveStatus(const TlzhFileStats& stats);
  // The file's cancel and progress handlers on archive for one operation.
  void AttachHandlers(TQndrCompress& archive);
  void ArchiveNewDisk(int32_t disk_number, std::string& path);
  // Schedules the new file (written under the temporary name) to replace
  // old_path at the next start of the system.
  void ScheduleReplacement(const std::string& old_path);
  void CheckRegistrationTarget();
  // The archive component for this file's archive: the shared one for the
  // install's own archive, else a private one that stops with it.
  TQndrCompress* ArchiveFor(const std::string& archive_path, bool& is_private);

  bool target_existed_ = false;
  bool in_use_ = false;
  std::string replaced_path_;  // the target in use, replaced at the next start
  bool install_ = false;
  std::string run_parameters_;
  TQndrFileAttributesSet install_attributes_ = 0;
  bool active_x_ = false;
  int32_t compressed_size_ = 0;
  uint8_t compressed_mark_ = 0;
  uint8_t own_net_archive_mark_ = 0;
  std::string compressed_archive_;
  double date_ = 0;
  std::string dest_name_;
  std::string file_name_;
  TInstallFileType file_type_ = iftNormal;
  std::string include_from_dir_;
  TOverwriteType overwrite_mode_ = owAlways;
  bool register_as_help_ = false;
  bool run_after_install_ = false;
  int32_t size_ = 0;
  TInstallFileState state_ = ifsNone;
  int32_t file_id_ = 0;
  bool update_dll_counter_ = false;
  std::string version_;
  TInstallFileNotifyEvent on_after_compress_;
  TInstallFileNotifyEvent on_after_copy_;
  TInstallFileNotifyEvent on_after_install_;
  TInstallFileNotifyEvent on_before_compress_;
  TInstallFileNotifyEvent on_before_copy_;
  TInstallFileNotifyEvent on_before_install_;
  TInstallFileStatusEvent on_status_;
  TInstallFileNewDiskEvent on_new_disk_;
  TInstallFileNotifyEvent on_replacing_;
};

class TInstallFile : public TCustomInstallFile, public IReflectTarget {
  FORMS_CLASS(TInstallFile)
public:
  // A file of the file at path: IncludeFromDir is its directory, FileName
  // its name.
  static TInstallFile* CreateFromPath(forms::TComponent* owner, const std::string& path);
  // The same, placed in container.
  static TInstallFile* CreateInContainer(forms::TComponent* owner, TInstallContainer* container,
                                         const std::string& path);
  // Hands the file to the reflect handler.
  void Reflect() override;
};

// The published properties of an install file class.
std::vector<forms::PropInfo> InstallFileProperties();

class TCustomInstallFileList {
public:
  void Add(TCustomInstallFile* file);
  void Remove(TCustomInstallFile* file);
  void Clear() { items_.clear(); }
  const std::vector<TCustomInstallFile*>& Items() const { return items_; }

private:
  std::vector<TCustomInstallFile*> items_;
};

// Every install file in creation order, and the installed files whose
// registration failed while the install ran (retried at its end). Made by
// InitializeFileLists, freed by FinalizeFileLists.
TCustomInstallFileList* FileList();
TCustomInstallFileList* PendingRegistrationList();
void InitializeFileLists();
void FinalizeFileLists();

// Whether a failed registration raises at once (true) or waits in the
// pending list; the install's run clears it.
bool RaiseRegistrationErrors();
void SetRaiseRegistrationErrors(bool v);

// The answer a question box gives. On Windows the default shows a message
// box; a test puts its own answer in place.
enum class TQuestion { YesNo, OkCancel, Ok };
using TQuestionHandler = std::function<bool(const std::string& text, TQuestion kind)>;
void SetQuestionHandler(TQuestionHandler handler);
// True for Yes or OK.
bool AskUser(const std::string& text, TQuestion kind);

// An OLE call of the registration failed: its result code.
class EOleError : public forms::Exception {
public:
  explicit EOleError(int32_t result);
  int32_t Result() const { return result_; }

private:
  int32_t result_;
};

// The system's question box (Windows) or No (elsewhere, where no one can
// be asked).
bool AskUserBySystem(const std::string& text, TQuestion kind);

#ifdef _WIN32
// Asks the system to move from onto to at the next start (MoveFileExA,
// replacing, delayed until the reboot); true when the system took it. A
// test may put its own answer in place; nullptr restores the system's.
using TDelayedMoveHandler = std::function<bool(const std::string& from, const std::string& to)>;
void SetDelayedMoveHandler(TDelayedMoveHandler handler);
#endif

// Writes text into a new file at path; false when it cannot be written
// whole (nothing is left at path then).
bool SaveTextFile(const std::string& path, const std::string& text);

// The file's date (day-count) and size; false when it cannot be opened.
bool ReadFileDateAndSize(const std::string& path, double& date, int32_t& size);
// Deletes a file; false when it is missing or cannot be deleted (in use).
bool DeleteFileNamed(const std::string& path);
// Whether an existing file could be deleted or written over now (no one
// holds it, it is not read-only); asked without changing the file.
bool FileCanBeReplaced(const std::string& path);

}  // namespace install
