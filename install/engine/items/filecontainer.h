// File-related install objects and file containers.
//
// TFileRelated is everything that comes out of an archive: it knows its
// archive (a path specifier plus ArchiveFile) and a local copy of the
// archive recorded under the install record ("LocalFile"). TFileContainer
// holds files and further containers around one archive and installs them
// in helper order; while it runs an operation it turns the progress its
// files send up into byte totals for the whole operation and broadcasts
// them to its own helpers (the wizard's copy-progress window among them)
// before passing them further up. At build time a container copies its
// files to their destinations or compresses them into the archives of the
// distribution. TInstallGroup and TInstallDirectory are the script's
// containers; TpsFileContainer names a container's destination for other
// objects.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/qndr_compress.h"
#include "core/container.h"
#include "distribution/netlocation.h"
#include "graphics.h"
#include "paths/standardpaths.h"

namespace install {

enum TInstallFileState : uint8_t { ifsNone, ifsCompress, ifsInstall, ifsCopying, ifsReflect };

class TCustomInstallFile;
class TpsFileContainer;

// Puts an object's operation state back to ifsNone when the operation
// ends, whether it ends normally or by an exception.
class TIdleAfterwards {
public:
  explicit TIdleAfterwards(TInstallFileState& state) : state_(state) {}
  ~TIdleAfterwards() { state_ = ifsNone; }
  TIdleAfterwards(const TIdleAfterwards&) = delete;
  TIdleAfterwards& operator=(const TIdleAfterwards&) = delete;

private:
  TInstallFileState& state_;
};

// Runs a build-time operation (copy, compression) of object in state
// running. However it ends, state is ifsNone again afterwards and -996
// tells the copy-progress windows that it finished; when the operation
// failed, its own failure is the one that passes on.
template <class Body>
void RunBuildOperation(TInstallContainer& object, TInstallFileState& state, TInstallFileState running, Body body) {
  state = running;
  try {
    body();
  } catch (...) {
    state = ifsNone;
    try {
      object.BroadcastInformationEvent(&object, ieCopyFinished, nullptr);
    } catch (...) {
      // The operation's failure is the one to report.
    }
    throw;
  }
  state = ifsNone;
  object.BroadcastInformationEvent(&object, ieCopyFinished, nullptr);
}

using TInstallFileNotifyEvent = std::function<void(TCustomInstallFile* file)>;
using TInstallFileStatusEvent =
    std::function<void(TCustomInstallFile* file, int32_t file_percent_done, int32_t total_percent_done)>;
using TInstallFileNewDiskEvent = std::function<void(TCustomInstallFile* file, int32_t new_disk, std::string& path)>;
using TAfterInstallObjectsEvent = std::function<void(TInstallContainer* container, bool was_aborted)>;

extern const std::vector<std::string> kLzhCommandNames;

// Options of a file container's compression, a bit set.
constexpr int coAddOnly = 1;             // every member is added to the container's archive
constexpr int coRelocateArchives = 2;    // other archives are made beside the container's
constexpr int coForceNetFilesLocal = 8;  // net files go into the local archives too
constexpr int coForceFilesNet = 16;      // every file goes into a net archive
constexpr int coIncludeExcluded = 32;    // excluded objects are compressed as well

// An object that can be handed, with its helpers, to the reflect handler.
class IReflectTarget {
public:
  virtual void Reflect() = 0;

protected:
  ~IReflectTarget() = default;
};

// Receives the objects of a reflection, one at a time. The program sets
// none; without one a reflection hands nothing on.
class IReflectHandler {
public:
  virtual void ReflectObject(TInstallContainer* object) = 0;

protected:
  ~IReflectHandler() = default;
};
IReflectHandler* ReflectHandler();
void SetReflectHandler(IReflectHandler* handler);

class TFileRelated : public TInstallObject, public IArchivePathSource {
  FORMS_CLASS(TFileRelated)
public:
  void Create(forms::TComponent* owner) override;
  void Loaded() override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  void SetContainer(TInstallContainer* value) override;

  // The specifier's path for this object followed by ArchiveFile, without
  // trailing backslash.
  std::string GetArchivePath() override;

  std::string ArchiveFile() const { return archive_file_; }
  virtual void SetArchiveFile(const std::string& value);
  TCustomPathSpecifier* ArchiveFileType() const { return archive_file_type_; }
  virtual void SetArchiveFileType(TCustomPathSpecifier* value);
  TlzhCommand AddToArchive() const { return add_to_archive_; }
  void SetAddToArchive(TlzhCommand v) { add_to_archive_ = v; }
  bool Net() const { return net_; }
  virtual void SetNet(bool v) { net_ = v; }

  // The archive settings a container's compression changes for a while
  // and puts back as they were.
  struct ArchiveSettings {
    TlzhCommand add_to_archive;
    std::string archive_file;
    TCustomPathSpecifier* archive_file_type;
    bool include;
  };
  ArchiveSettings CurrentArchiveSettings() const;
  void RestoreArchiveSettings(const ArchiveSettings& settings);
  // Compressed with command into the archive at path, whatever specifier
  // named it before.
  void UseArchive(TlzhCommand command, const std::string& path);
  void SetOnDataReceived(TDataReceivedEvent h) { on_data_received_ = std::move(h); }

  // The archive downloaded for this object, recorded under the install
  // record as "LocalFile"; false when none is recorded or it is gone.
  bool GetLocalArchivePath(std::string& path) const;
  virtual void StoreLocalArchivePath(const std::string& path);
  virtual bool IsArchiveLocal() const;
  const std::string& LocalArchivePath() const { return local_archive_path_; }
  void SetLocalArchivePath(const std::string& path) { local_archive_path_ = path; }
  // A recorded local archive, when there is one, becomes this object's.
  void TakeRecordedLocalArchive();

  // The location of this object's own, when it has one.
  TCustomNetInstallLocation* NetLocation() const { return net_location_; }
  virtual void SetNetLocation(TCustomNetInstallLocation* location);
  // The net location this object's archives come from: its own, else the
  // install's default location (a file without one asks its file
  // container; a file whose container is something else has none).
  virtual TCustomNetInstallLocation* EffectiveNetLocation() const;
  // Fetches this object's archive (<Name>.1) from its net location into a
  // temporary file of the run, which becomes its local archive and is
  // recorded under the install record; an archive recorded already is
  // taken as it is. A download that fails or is cancelled leaves no local
  // archive behind; a cancel raises EAIUserAbort.
  virtual void DownloadArchive();
  // The local archive: the one in hand, else the recorded one; empty when
  // there is neither.
  std::string LocalArchive() const;
  // The folder of this object's net archives below a build directory, from
  // its location's host and directory ("host\dir", or "host\FTP Root
  // directory" / "host\HTTP Root directory"); raises IEFileRel_NoNetLocation
  // without a location.
  std::string RemoteRoot() const;
  // This object's net archive below the build directory:
  // build_dir\<remote root>\<Name>.1.
  std::string NetArchivePath(const std::string& build_dir) const;

  // Download progress: OnDataReceived, broadcast -988, sent up as 1014.
  virtual void DoDataReceived(forms::TComponent* sender, const std::string& file_name, int32_t bytes,
                              int32_t total_bytes, int32_t file_size, const char* buffer);

  bool ArchiveInfoRead() const { return archive_info_read_; }

protected:
  void SetArchiveInfoRead(bool v) { archive_info_read_ = v; }
  // A constructor that supplies a default archive specifier marks it
  // pending: it stays only if the stream assigns none.
  void SetDefaultArchiveFileTypePending() { default_archive_file_type_pending_ = true; }
  void StoreArchiveFileType(TCustomPathSpecifier* value);
  // OnDataReceived with this object as the sender.
  void FireDataReceived(const TDownloadStatusParameter& status, const char* buffer);

private:
  bool IsOwnArchiveSpecifier(TCustomPathSpecifier* value) const;

  bool archive_file_type_assigned_ = false;
  bool default_archive_file_type_pending_ = false;
  std::string local_archive_path_;
  TlzhCommand add_to_archive_ = lzcOverwrite;
  bool archive_info_read_ = false;
  std::string archive_file_;
  TCustomPathSpecifier* archive_file_type_ = nullptr;
  bool net_ = true;
  TCustomNetInstallLocation* net_location_ = nullptr;
  TDataReceivedEvent on_data_received_;
};

class TFileContainer : public TFileRelated, public IReflectTarget {
  FORMS_CLASS(TFileContainer)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  int RegisteredType() const override { return 1000; }
  void DoInstall() override;
  void DoInformationEventControl(forms::TComponent* sender, int code, forms::TPersistent* param) override;

  // Whether the container names its destination through a TpsFileContainer
  // of its own.
  virtual bool WantsPathSpecifier() const { return true; }
  virtual void DoNewDisk(TCustomInstallFile* file, TDiskParameter* disk);
  virtual void DoReplacing(TCustomInstallFile* file);
  virtual void DoStatus(TCustomInstallFile* file, TFileStatusParameter* status);
  // Sizes of the included files (or all); with children, of the child
  // containers too.
  virtual int64_t GetFilesSize(bool all_files, bool with_children);
  int64_t GetTotalFilesSize(bool all_files) { return GetFilesSize(all_files, true); }
  int64_t GetOwnFilesSize(bool all_files) { return GetFilesSize(all_files, false); }
  virtual int64_t GetCompressedSize(bool all_files);
  // Every file's archive information, then every child container's.
  virtual void ReadArchiveInfo();
  // Every file's size, date and version from its source, then every child
  // container's.
  virtual void ReadFilesInfo();
  virtual void DeleteFiles();
  // The operation runs through State: ifsCompress compresses without
  // options, ifsInstall processes the container, ifsCopying copies its
  // files, ifsReflect reflects it; State is ifsNone again afterwards.
  virtual void SetState(TInstallFileState state);
  // Build time: every included file copied to its destination, then every
  // child container's, with progress counted as for an install.
  virtual void CopyFiles();
  // Build time: every file compressed into its archive, then every child
  // container's (options: the co... bits). The container's own archive is
  // made anew unless it is added to; files bound for the net go into the
  // net archives below the remote root.
  virtual void Compress(int options);
  // Hands every helper to the reflect handler.
  void Reflect() override;
  TInstallFileState State() const { return state_; }
  virtual std::string GetDownloadedArchivePath() const;
  // Whether installing the container fetches its archive over the net: a
  // net distribution with an included Net file that has no location of its
  // own (such a file comes in an archive of its own).
  virtual bool NeedsDownload() const;

  int FileCount() const;
  TCustomInstallFile* Files(int index) const;
  // The file whose IncludeFromDir\FileName is source_path (ignoring case).
  TCustomInstallFile* FindFile(const std::string& source_path) const;

  int32_t TotalBytes() const { return total_bytes_; }
  int32_t BytesDone() const { return bytes_done_; }
  std::string Description() const { return description_; }
  void SetDescription(const std::string& v) { description_ = v; }
  TpsFileContainer* PathSpecifier() const { return path_specifier_; }
  // A stored specifier takes the place of the one the constructor made.
  void ReplacePathSpecifier(TpsFileContainer* specifier);

  const TInstallFileStatusEvent& OnStatus() const { return on_status_; }
  void SetOnStatus(TInstallFileStatusEvent h) { on_status_ = std::move(h); }
  void SetOnNewDisk(TInstallFileNewDiskEvent h) { on_new_disk_ = std::move(h); }
  void SetOnReplacing(TInstallFileNotifyEvent h) { on_replacing_ = std::move(h); }
  void SetOnAfterInstallObjects(TAfterInstallObjectsEvent h) { on_after_install_objects_ = std::move(h); }
  void SetOnBeforeInstallObjects(TInstallContainerNotifyEvent h) { on_before_install_objects_ = std::move(h); }

protected:
  void SetAfterInstallObjectsEnabled(bool v) { after_install_objects_enabled_ = v; }
  // Sends code with this container up to its container.
  void SendUp(int code);
  void FireAfterInstallObjects(bool was_aborted) { forms::Fire(on_after_install_objects_, this, was_aborted); }
  void SetStateValue(TInstallFileState state) { state_ = state; }

private:
  void CompressAll(int options);
  // The compression of one helper, its archive settings chosen by options
  // and put back afterwards.
  void CompressHelper(TFileRelated* helper, int options);
  void CountStatus(forms::TPersistent* param);
  void CountFinishedFile(forms::TPersistent* param);
  void RelayNewDisk(forms::TPersistent* param);
  void RelayDownload(forms::TPersistent* param);

  int32_t total_bytes_ = 0;
  int32_t bytes_done_ = 0;
  std::string description_;
  TInstallFileStatusEvent on_status_;
  TInstallFileNewDiskEvent on_new_disk_;
  TInstallFileNotifyEvent on_replacing_;
  TInstallFileState state_ = ifsNone;
  bool after_install_objects_enabled_ = true;
  TAfterInstallObjectsEvent on_after_install_objects_;
  TInstallContainerNotifyEvent on_before_install_objects_;
  TpsFileContainer* path_specifier_ = nullptr;
};

// What the component-selection page shows of a group.
class TInstallGroupDialogOptions : public forms::TPersistent {
  FORMS_CLASS(TInstallGroupDialogOptions)
public:
  bool AllowChangeDir = true;
  bool AllowExcludeInclude = true;
  forms::TStringList& Description() { return description_; }
  void SetDescription(const forms::TStringList& v) { description_ = v; }
  bool DisplayDirectory = true;
  // The group's icon on that page; assigning copies it.
  forms::TIcon& SmallIcon() { return small_icon_; }
  void SetSmallIcon(const forms::TIcon& icon) { small_icon_.Assign(icon); }
  bool ShowRegardlessOfInclude = true;
  // Copies every option, the description and the icon too.
  void Assign(const TInstallGroupDialogOptions& source);

private:
  forms::TStringList description_;
  forms::TIcon small_icon_;
};

class TCustomInstallGroup : public TFileContainer {
  FORMS_CLASS(TCustomInstallGroup)
public:
  int RegisteredType() const override { return 500; }
  // Only the install or another group may hold a group; none means the
  // install.
  void SetContainer(TInstallContainer* value) override;
  TInstallGroupDialogOptions& DialogOptions() { return dialog_options_; }
  void SetDialogOptions(const TInstallGroupDialogOptions& options) { dialog_options_.Assign(options); }

private:
  TInstallGroupDialogOptions dialog_options_;
};

class TInstallGroup : public TCustomInstallGroup {
  FORMS_CLASS(TInstallGroup)
};

class TInstallDirectory : public TFileContainer {
  FORMS_CLASS(TInstallDirectory)
public:
  // Frees the files whose source does not exist.
  virtual void RemoveMissingFiles();
};

// The destination of a file container, for objects outside it.
class TpsFileContainer : public TCustomPathSpecifier {
  FORMS_CLASS(TpsFileContainer)
public:
  void Loaded() override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  // A name another component of the owner holds makes that one give way.
  void SetName(const std::string& name) override;
  // Refuses file containers, groups and files.
  void Validate(forms::TComponent* obj) override;
  void GetPath(forms::TComponent* obj, std::string& path) override;
  void GetDescription(std::string& text) override;
  void GetDisplayName(std::string& text) override;

  TFileContainer* FileContainer() const { return file_container_; }
  void SetFileContainer(TFileContainer* container);
  // The name given by the container's constructor, which never clashes.
  void SetOwnName(const std::string& name);

private:
  TFileContainer* file_container_ = nullptr;
};

// The published properties every file container class shows.
std::vector<forms::PropInfo> FileContainerProperties();

}  // namespace install
