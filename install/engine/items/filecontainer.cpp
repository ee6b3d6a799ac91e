#include "items/filecontainer.h"

#include "core/exceptions.h"
#include "core/install.h"
#include "distribution/downloads.h"
#include "items/installfile.h"
#include "paths/registry.h"
#include "screen.h"

namespace install {

using namespace forms;

const std::vector<std::string> kLzhCommandNames = {"lzcOverwrite", "lzcOnlyAdd"};

namespace {

// The install record's key of an object: where its "LocalFile" lives.
std::string ObjectRecordKey(const std::string& name) { return InstallRecordKey() + "\\" + name; }

IReflectHandler* g_reflect_handler = nullptr;

}  // namespace

IReflectHandler* ReflectHandler() { return g_reflect_handler; }
void SetReflectHandler(IReflectHandler* handler) { g_reflect_handler = handler; }

// TFileRelated

const ClassInfo& TFileRelated::StaticClass() {
  static const ClassInfo info{"TFileRelated", &TInstallObject::StaticClass()};
  return info;
}

void TFileRelated::Create(TComponent* owner) {
  TInstallObject::Create(owner);
  SetProcessWithContainer(true);
}

void TFileRelated::Loaded() {
  if (default_archive_file_type_pending_ && !archive_file_type_assigned_) StoreArchiveFileType(nullptr);
  default_archive_file_type_pending_ = false;
  TInstallObject::Loaded();
  TakeRecordedLocalArchive();
}

void TFileRelated::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == archive_file_type_) archive_file_type_ = nullptr;
  if (component && component == net_location_) SetNetLocation(nullptr);
}

void TFileRelated::SetNetLocation(TCustomNetInstallLocation* location) {
  net_location_ = location;
  if (location) location->FreeNotification(this);
}

void TFileRelated::SetContainer(TInstallContainer* value) {
  TInstallObject::SetContainer(value);
  if (Loading()) return;
  if (value && (value->InheritsFrom("TFileRelated") || value->InheritsFrom("TCustomInstallGroup"))) {
    SetArchiveFileType(FindPathSpecifierByClass("TpsContainerArchiveFile"));
    archive_file_.clear();
  } else if (archive_file_type_ && archive_file_type_->InheritsFrom("TpsContainerArchiveFile")) {
    SetArchiveFileType(nullptr);
  }
}

std::string TFileRelated::GetArchivePath() {
  std::string path;
  if (archive_file_type_) archive_file_type_->GetPath(this, path);
  return RemoveTrailingBackslash(path + archive_file_);
}

bool TFileRelated::IsOwnArchiveSpecifier(TCustomPathSpecifier* value) const {
  return value && (value->InheritsFrom("TpsContainerArchiveFile") || value->InheritsFrom("TpsMainArchiveFile"));
}

void TFileRelated::SetArchiveFile(const std::string& value) {
  archive_file_ = !Loading() && IsOwnArchiveSpecifier(archive_file_type_) ? "" : value;
}

void TFileRelated::StoreArchiveFileType(TCustomPathSpecifier* value) {
  archive_file_type_ = value;
  if (value) value->FreeNotification(this);
}

void TFileRelated::SetArchiveFileType(TCustomPathSpecifier* value) {
  archive_file_type_assigned_ = true;
  if (!Loading() && value) {
    value->Validate(this);
    if (IsOwnArchiveSpecifier(value)) archive_file_.clear();
  }
  StoreArchiveFileType(value);
}

bool TFileRelated::GetLocalArchivePath(std::string& path) const {
  if (Trim(Name()).empty() || InstallRecordKey().empty()) return false;
  std::string recorded = ReadRegistryString(hkLocalMachine, ObjectRecordKey(Name()), "LocalFile", "");
  if (Trim(recorded).empty() || !FileExists(recorded)) return false;
  path = recorded;
  return true;
}

void TFileRelated::StoreLocalArchivePath(const std::string& path) {
  if (Trim(Name()).empty() || Trim(path).empty() || InstallRecordKey().empty()) return;
  try {
    WriteRegistryString(hkLocalMachine, ObjectRecordKey(Name()), "LocalFile", path);
  } catch (const EIRCannotWriteValue&) {
    // Without the record the archive is fetched again after a reboot.
  }
}

bool TFileRelated::IsArchiveLocal() const {
  std::string path;
  return !Trim(local_archive_path_).empty() || GetLocalArchivePath(path);
}

void TFileRelated::TakeRecordedLocalArchive() {
  std::string path;
  if (GetLocalArchivePath(path)) local_archive_path_ = path;
}

std::string TFileRelated::LocalArchive() const {
  std::string path;
  if (!Trim(local_archive_path_).empty()) return local_archive_path_;
  return GetLocalArchivePath(path) ? path : std::string();
}

void TFileRelated::DownloadArchive() {
  std::string recorded;
  if (GetLocalArchivePath(recorded)) {
    local_archive_path_ = recorded;
    return;
  }
  TCustomNetInstallLocation* location = EffectiveNetLocation();
  if (!location) throw Exception(Format("Could not find a net install location for %s", {Name()}));
  if (!location->LoginInformation().IsValid()) {
    if (net_location_)
      throw IEFileRelated(
          "%s could not install itself because the TNetLocation component's properties, in the NetLocation "
          "property, have not been filled in",
          {Name()});
    throw IEFileRelated(
        "%s could not install itself because the LoginInformation property of the TInstall component has not been "
        "properly filled in",
        {Name()});
  }
  std::string local = NewDownloadFile();
  location->SetDownloadProgressHook(this, [this](TComponent* sender, const std::string& file_name, int32_t bytes,
                                                 int32_t total_bytes, int32_t file_size, const char* buffer) {
    DoDataReceived(sender, file_name, bytes, total_bytes, file_size, buffer);
  });
  try {
    location->Download(Name() + ".1", local);
  } catch (...) {
    // What a failed download wrote is no archive: nothing may take it for one.
    location->ClearDownloadProgressHook();
    RemoveDownloadFile(local);
    throw;
  }
  location->ClearDownloadProgressHook();
  if (DownloadAborted()) {
    RemoveDownloadFile(local);
    throw EAIUserAbort();
  }
  local_archive_path_ = local;
  StoreLocalArchivePath(local);
}

void TFileRelated::DoDataReceived(TComponent*, const std::string& file_name, int32_t bytes, int32_t total_bytes,
                                  int32_t file_size, const char* buffer) {
  TDownloadStatusParameter param;
  param.Bytes = bytes;
  param.FileName = file_name;
  param.FileSize = file_size;
  param.TotalBytes = total_bytes;
  param.Percent = PercentOf(total_bytes, file_size);
  FireDataReceived(param, buffer);
  BroadcastInformationEvent(this, ieDownloadStatus, &param);
  if (Container()) Container()->DoInformationEventControl(this, ieDownloadProgress, &param);
}

void TFileRelated::FireDataReceived(const TDownloadStatusParameter& status, const char* buffer) {
  Fire(on_data_received_, this, status.FileName, status.Bytes, status.TotalBytes, status.FileSize, buffer);
}

TFileRelated::ArchiveSettings TFileRelated::CurrentArchiveSettings() const {
  return {add_to_archive_, archive_file_, archive_file_type_, Include()};
}

void TFileRelated::RestoreArchiveSettings(const ArchiveSettings& settings) {
  add_to_archive_ = settings.add_to_archive;
  archive_file_ = settings.archive_file;
  StoreArchiveFileType(settings.archive_file_type);
  SetInclude(settings.include);
}

void TFileRelated::UseArchive(TlzhCommand command, const std::string& path) {
  add_to_archive_ = command;
  StoreArchiveFileType(nullptr);
  archive_file_ = path;
}

TCustomNetInstallLocation* TFileRelated::EffectiveNetLocation() const {
  return net_location_ ? net_location_ : DefaultLocation();
}

std::string TFileRelated::NetArchivePath(const std::string& build_dir) const {
  return AddTrailingPathDelimiter(build_dir) + RemoteRoot() + kPathDelimiter + Name() + ".1";
}

std::string TFileRelated::RemoteRoot() const {
  TCustomNetInstallLocation* location = EffectiveNetLocation();
  if (!location) throw IEFileRel_NoNetLocation("Could not find a net install location for %s", {Name()});
  const TLoginInformation& login = location->LoginInformation();
  std::string host = MakeFileNameSafe(login.Hostname());
  if (!Trim(login.Directory()).empty()) return host + kPathDelimiter + MakeFileNameSafe(login.Directory());
  return host + kPathDelimiter + (login.Protocol() == ipFTP ? "FTP Root directory" : "HTTP Root directory");
}

// TFileContainer

std::vector<PropInfo> FileContainerProperties() {
  using C = TFileContainer;
  return {ContainerProperty(),
          EnumProp<C, TlzhCommand>("AddToArchive", kLzhCommandNames, &C::AddToArchive, &C::SetAddToArchive,
                                   lzcOverwrite),
          StringProp<C>("ArchiveFile", &C::ArchiveFile, &C::SetArchiveFile),
          ComponentProp<C, TCustomPathSpecifier>("ArchiveFileType", &C::ArchiveFileType, &C::SetArchiveFileType),
          StringProp<C>("Description", &C::Description, &C::SetDescription),
          ComponentProp<C, TCustomNetInstallLocation>("NetLocation", &C::NetLocation, &C::SetNetLocation),
          EventProp<C, void(TInstallContainer*, bool)>("OnAfterInstallObjects", &C::SetOnAfterInstallObjects),
          EventProp<C, void(TInstallContainer*)>("OnBeforeInstallObjects", &C::SetOnBeforeInstallObjects),
          EventProp<C, void(TComponent*, const std::string&, int32_t, int32_t, int32_t, const char*)>(
              "OnDataReceived", &C::SetOnDataReceived),
          EventProp<C, void(TCustomInstallFile*, int32_t, std::string&)>("OnNewDisk", &C::SetOnNewDisk),
          EventProp<C, void(TCustomInstallFile*)>("OnReplacing", &C::SetOnReplacing),
          EventProp<C, void(TCustomInstallFile*, int32_t, int32_t)>("OnStatus", &C::SetOnStatus)};
}

const ClassInfo& TFileContainer::StaticClass() {
  static const ClassInfo info{"TFileContainer", &TFileRelated::StaticClass()};
  return info;
}

void TFileContainer::Create(TComponent* owner) {
  TFileRelated::Create(owner);
  if (!WantsPathSpecifier()) return;
  auto* specifier = New<TpsFileContainer>(owner);
  std::string name = "psFileContainer";
  for (int counter = 1; owner && owner->FindComponent(name); ++counter) name = "psFileContainer" + IntToStr(counter);
  specifier->SetOwnName(name);
  specifier->SetFileContainer(this);
  ReplacePathSpecifier(specifier);
}

void TFileContainer::Notification(TComponent* component, TOperation operation) {
  TFileRelated::Notification(component, operation);
  if (operation == TOperation::opRemove && component == path_specifier_) path_specifier_ = nullptr;
}

void TFileContainer::Destroy() {
  DeleteFiles();
  if (path_specifier_ && !path_specifier_->Destroying()) {
    TpsFileContainer* specifier = path_specifier_;
    path_specifier_ = nullptr;
    specifier->SetFileContainer(nullptr);
    Free(specifier);
  }
  TFileRelated::Destroy();
}

void TFileContainer::ReplacePathSpecifier(TpsFileContainer* specifier) {
  if (specifier == path_specifier_) return;
  TpsFileContainer* previous = path_specifier_;
  path_specifier_ = specifier;
  if (specifier) specifier->FreeNotification(this);
  if (previous) {
    previous->SetFileContainer(nullptr);
    Free(previous);
  }
}

int TFileContainer::FileCount() const { return CountOf("TCustomInstallFile"); }

TCustomInstallFile* TFileContainer::Files(int index) const {
  return static_cast<TCustomInstallFile*>(Comp(index, "TCustomInstallFile"));
}

TCustomInstallFile* TFileContainer::FindFile(const std::string& source_path) const {
  for (int i = 0; i < FileCount(); ++i)
    if (SameText(Files(i)->SourcePath(), source_path)) return Files(i);
  return nullptr;
}

void TFileContainer::SetState(TInstallFileState state) {
  TIdleAfterwards idle(state_);
  switch (state) {
    case ifsCompress:
      Compress(0);
      break;
    case ifsInstall:
      Process();
      break;
    case ifsCopying:
      CopyFiles();
      break;
    case ifsReflect:
      Reflect();
      break;
    case ifsNone:
      break;
  }
}

void TFileContainer::SendUp(int code) {
  if (Container()) Container()->DoInformationEventControl(this, code, this);
}

void TFileContainer::CopyFiles() {
  RunBuildOperation(*this, state_, ifsCopying, [this] {
    FireBeforeProcess();
    if (!Include()) return;
    SendUp(ieContainerStarting);
    ReadFilesInfo();
    total_bytes_ = static_cast<int32_t>(GetTotalFilesSize(false));
    bytes_done_ = 0;
    for (int i = 0; i < FileCount(); ++i) Files(i)->CopyFile();
    for (int i = 0; i < FileContainerCount(); ++i) static_cast<TFileContainer*>(FileContainers(i))->CopyFiles();
    FireAfterProcess();
    SendUp(ieContainerDone);
  });
}

void TFileContainer::Compress(int options) {
  if ((options & coForceNetFilesLocal) && (options & coForceFilesNet))
    throw IEFileContainer("Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
  RunBuildOperation(*this, state_, ifsCompress, [this, options] { CompressAll(options); });
}

void TFileContainer::CompressAll(int options) {
  FireBeforeProcess();
  if (!Include()) return;
  SendUp(ieContainerStarting);
  ReadFilesInfo();
  total_bytes_ = static_cast<int32_t>(GetTotalFilesSize((options & coIncludeExcluded) != 0));
  bytes_done_ = 0;
  std::string own_archive = ChangeFileExt(GetArchivePath(), ".1");
  if (AddToArchive() == lzcOverwrite && FileExists(own_archive) && !DeleteFileNamed(own_archive))
    throw IEFileContainer("%s cannot delete the archive file %s", {Name(), own_archive});
  // The container's net archive exists only for files bound for the net;
  // only they need a net location.
  bool net_files = false;
  for (int i = 0; i < FileCount(); ++i) net_files = net_files || Files(i)->NetBound(options);
  if (net_files) {
    SetLocalArchivePath(NetArchivePath(ExtractFileDir(GetArchivePath())));
    if (FileExists(LocalArchivePath()) && !DeleteFileNamed(LocalArchivePath()))
      throw IEFileContainer("%s cannot delete the archive file %s", {Name(), LocalArchivePath()});
  }
  std::vector<TFileRelated*> helpers;
  for (int i = 0; i < HelperCount(); ++i)
    if (auto* helper = dynamic_cast<TFileRelated*>(Helpers(i))) helpers.push_back(helper);
  for (TFileRelated* helper : helpers) CompressHelper(helper, options);
  FireAfterProcess();
  SendUp(ieContainerDone);
}

void TFileContainer::CompressHelper(TFileRelated* helper, int options) {
  struct Restore {
    TFileRelated* helper;
    TFileRelated::ArchiveSettings saved;
    ~Restore() { helper->RestoreArchiveSettings(saved); }
  } restore{helper, helper->CurrentArchiveSettings()};
  if (options & coIncludeExcluded) helper->SetInclude(true);
  std::string archive_dir = ExtractFileDir(GetArchivePath());
  TCustomPathSpecifier* type = helper->ArchiveFileType();
  auto* file = dynamic_cast<TCustomInstallFile*>(helper);
  if (file && file->NetBound(options)) {
    if (file->HasOwnArchive()) {
      // An archive of the file's own holds that file alone.
      file->UseArchive(lzcOverwrite, file->NetArchivePath(archive_dir));
      file->MarkOwnNetArchive();
    } else {
      file->UseArchive(lzcOnlyAdd, LocalArchivePath());
    }
    file->MarkNetCompressed();
  } else if (options & coAddOnly) {
    helper->UseArchive(lzcOnlyAdd, GetArchivePath());
  } else if (type && type->InheritsFrom("TpsContainerArchiveFile")) {
    helper->SetAddToArchive(lzcOnlyAdd);
  } else if (type && type->InheritsFrom("TpsInstallSource")) {
    TCustomInstall* install = TCustomInstall::Instance();
    std::string base = ExtractFileDir(install ? install->GetArchivePath() : GetArchivePath());
    helper->UseArchive(lzcOverwrite, RemoveTrailingBackslash(base) + helper->ArchiveFile());
  } else if (options & coRelocateArchives) {
    helper->UseArchive(lzcOverwrite, RemoveTrailingBackslash(archive_dir) + TextAfterColon(helper->GetArchivePath()));
  }
  if (auto* child = dynamic_cast<TFileContainer*>(helper))
    child->Compress(options);
  else if (file)
    file->Compress();
}

void TFileContainer::Reflect() {
  state_ = ifsReflect;
  TIdleAfterwards idle(state_);
  std::vector<TInstallContainer*> helpers;
  for (int i = 0; i < HelperCount(); ++i) helpers.push_back(Helpers(i));
  if (IReflectHandler* handler = ReflectHandler())
    for (TInstallContainer* helper : helpers) handler->ReflectObject(helper);
}

void TFileContainer::DeleteFiles() { FreeHelpersOf("TCustomInstallFile"); }

int64_t TFileContainer::GetFilesSize(bool all_files, bool with_children) {
  int64_t size = 0;
  for (int i = 0; i < FileCount(); ++i)
    if (all_files || Files(i)->IsIncluded()) size += Files(i)->Size();
  if (with_children)
    for (int i = 0; i < FileContainerCount(); ++i) {
      auto* child = static_cast<TFileContainer*>(FileContainers(i));
      if (all_files || child->IsIncluded()) size += child->GetTotalFilesSize(all_files);
    }
  return size;
}

int64_t TFileContainer::GetCompressedSize(bool all_files) {
  int64_t size = 0;
  for (int i = 0; i < FileCount(); ++i)
    if (all_files || Files(i)->IsIncluded()) size += Files(i)->CompressedSize();
  for (int i = 0; i < FileContainerCount(); ++i) {
    auto* child = static_cast<TFileContainer*>(FileContainers(i));
    if (all_files || child->IsIncluded()) size += child->GetCompressedSize(all_files);
  }
  return size;
}

std::string TFileContainer::GetDownloadedArchivePath() const {
  if (Trim(LocalArchivePath()).empty())
    throw IEFileContainer(
        "%s has not yet downloaded the archive file and therefore cannot retrieve the path of the archive file",
        {Name()});
  return LocalArchivePath();
}

bool TFileContainer::NeedsDownload() const {
  if (InstallDistributeType() == dtTraditional) return false;
  for (int i = 0; i < FileCount(); ++i) {
    TCustomInstallFile* file = Files(i);
    if (file->Net() && file->Include() && !file->NetLocation()) return true;
  }
  return false;
}

void TFileContainer::ReadArchiveInfo() {
  TCursorGuard hourglass(crHourGlass);
  for (int i = 0; i < FileCount(); ++i) Files(i)->ReadArchiveInfo();
  for (int i = 0; i < FileContainerCount(); ++i) static_cast<TFileContainer*>(FileContainers(i))->ReadArchiveInfo();
  SetArchiveInfoRead(true);
}

void TFileContainer::ReadFilesInfo() {
  TCursorGuard hourglass(crHourGlass);
  for (int i = 0; i < FileCount(); ++i) Files(i)->ReadFileInfo();
  for (int i = 0; i < FileContainerCount(); ++i) static_cast<TFileContainer*>(FileContainers(i))->ReadFilesInfo();
}

void TFileContainer::DoInstall() {
  state_ = ifsInstall;
  TIdleAfterwards idle(state_);
  {
    TCursorGuard hourglass(crHourGlass);
    TakeRecordedLocalArchive();
    ReadArchiveInfo();
    BroadcastInformationEvent(this, ieInstallStarting, nullptr);
    if (Container()) Container()->DoInformationEventControl(this, ieContainerStarting, this);
    total_bytes_ = static_cast<int32_t>(GetTotalFilesSize(false));
    bytes_done_ = 0;
    Fire(on_before_install_objects_, this);
    TFileRelated::DoInstall();
    if (Container()) Container()->DoInformationEventControl(this, ieContainerDone, this);
  }
  bool was_aborted = SharedArchive() && SharedArchive()->Abort();
  BroadcastInformationEvent(this, ieCopyFinished, nullptr);
  state_ = ifsNone;
  if (after_install_objects_enabled_) FireAfterInstallObjects(was_aborted);
}

void TFileContainer::DoNewDisk(TCustomInstallFile* file, TDiskParameter* disk) {
  if (!on_new_disk_) return;
  std::string path = disk->Path;
  Fire(on_new_disk_, file, disk->DiskNumber, path);
  file->SetTag(1);
  disk->Path = path;
}

void TFileContainer::DoReplacing(TCustomInstallFile* file) {
  Fire(on_replacing_, file);
  BroadcastInformationEvent(this, ieReplacingFile, file);
}

void TFileContainer::DoStatus(TCustomInstallFile* file, TFileStatusParameter* status) {
  Fire(on_status_, file, status->FilePercent, status->TotalPercent);
  BroadcastInformationEvent(this, ieFileStatus, status);
}

namespace {

// The list of an event about one file with a second object.
TList* FileEventList(TPersistent* param) {
  auto* list = dynamic_cast<TList*>(param);
  if (!list) throw IEFileContainer("DoInformationEventControl--PO is not a TList object");
  if (list->Items.size() < 2)
    throw IEFileContainer("DoInformationEventControl--Not engouh parameters for status event");
  return list;
}

}  // namespace

void TFileContainer::CountStatus(TPersistent* param) {
  TList* list = FileEventList(param);
  auto* file = dynamic_cast<TCustomInstallFile*>(list->Items[0]);
  if (!file) throw IEFileContainer("DoInformationEventControl says bad first parameter");
  auto* status = dynamic_cast<TFileStatusParameter*>(list->Items[1]);
  if (!status) throw IEFileContainer("DoInformationEventControl says bad second parameter");
  status->TotalBytesDone = bytes_done_ + status->FileBytesDone;
  status->TotalPercent = PercentOf(status->TotalBytesDone, total_bytes_);
  DoStatus(file, status);
  if (status->FileStats.Finished) bytes_done_ += status->FileStats.FileSize;
}

void TFileContainer::CountFinishedFile(TPersistent* param) {
  auto* file = dynamic_cast<TCustomInstallFile*>(param);
  if (!file) throw IEFileContainer("DoInformationEventControl says bad first parameter");
  TFileStatusParameter status;
  status.FileBytesDone = file->Size();
  status.FilePercent = 100;
  status.FileName = file->FileName();
  status.TotalBytesDone = bytes_done_ + file->Size();
  status.TotalPercent = PercentOf(status.TotalBytesDone, total_bytes_);
  DoStatus(file, &status);
  bytes_done_ += file->Size();
}

void TFileContainer::RelayNewDisk(TPersistent* param) {
  TList* list = FileEventList(param);
  auto* file = dynamic_cast<TCustomInstallFile*>(list->Items[0]);
  if (!file) throw IEFileContainer("DoInformationEventControl says bad %d parameter", {int64_t{1}});
  auto* disk = dynamic_cast<TDiskParameter*>(list->Items[1]);
  if (!disk) throw IEFileContainer("DoInformationEventControl says bad %d parameter", {int64_t{2}});
  DoNewDisk(file, disk);
  BroadcastInformationEvent(this, ieNewDisk, list);
}

void TFileContainer::RelayDownload(TPersistent* param) {
  auto* download = dynamic_cast<TDownloadStatusParameter*>(param);
  if (!download)
    throw IEFileContainer("The PO object passed to %s is not a TDownloadStatusParameter object", {Name()});
  FireDataReceived(*download, nullptr);
  BroadcastInformationEvent(this, ieDownloadStatus, download);
}

void TFileContainer::DoInformationEventControl(TComponent*, int code, TPersistent* param) {
  if (state_ == ifsNone) return;
  switch (code) {
    case ieFileReplacing:
    case ieInstallStatus:
    case ieCompressStatus:
    case ieCopyStatus:
    case ieNewDiskNeeded:
    case ieDownloadProgress:
    case ieFileAborted:
    case ieFileSkipped:
      if (!param) throw IEFileContainer("%s got a nil PO parameter", {Name()});
      break;
    default:
      break;
  }
  switch (code) {
    case ieFileReplacing: {
      auto* file = dynamic_cast<TCustomInstallFile*>(param);
      if (!file) throw IEFileContainer("DoInformationEventControl parameter is not TInstallFile");
      DoReplacing(file);
      break;
    }
    case ieInstallStatus:
    case ieCompressStatus:
    case ieCopyStatus:
      CountStatus(param);
      break;
    case ieNewDiskNeeded:
      RelayNewDisk(param);
      break;
    case ieDownloadProgress:
      RelayDownload(param);
      break;
    case ieFileAborted:
    case ieFileSkipped:
      CountFinishedFile(param);
      break;
    default:
      break;
  }
  if (Container()) Container()->DoInformationEventControl(this, code, param);
}

// Groups and directories

const ClassInfo& TInstallGroupDialogOptions::StaticClass() {
  using C = TInstallGroupDialogOptions;
  static const ClassInfo info{"TInstallGroupDialogOptions", &TPersistent::StaticClass(), nullptr,
                              {BoolField<C>("AllowChangeDir", &C::AllowChangeDir, true),
                               BoolField<C>("AllowExcludeInclude", &C::AllowExcludeInclude, true),
                               StringsProp<C, TStringList>("Description", &C::Description, &C::SetDescription),
                               BoolField<C>("DisplayDirectory", &C::DisplayDirectory, true),
                               ObjectProp<C, TIcon>("SmallIcon", &C::SmallIcon),
                               BoolField<C>("ShowRegardlessOfInclude", &C::ShowRegardlessOfInclude, true)}};
  return info;
}

void TInstallGroupDialogOptions::Assign(const TInstallGroupDialogOptions& source) {
  AllowChangeDir = source.AllowChangeDir;
  AllowExcludeInclude = source.AllowExcludeInclude;
  description_ = source.description_;
  DisplayDirectory = source.DisplayDirectory;
  small_icon_.Assign(source.small_icon_);
  ShowRegardlessOfInclude = source.ShowRegardlessOfInclude;
}

const ClassInfo& TCustomInstallGroup::StaticClass() {
  static const ClassInfo info{"TCustomInstallGroup", &TFileContainer::StaticClass()};
  return info;
}

void TCustomInstallGroup::SetContainer(TInstallContainer* value) {
  TFileRelated::SetContainer(value);
  if (value && !value->InheritsFrom("TCustomInstall") && !value->InheritsFrom("TCustomInstallGroup"))
    throw IEInstallGroup(
        "A TInstallGroup component can only be contained by a TInstall, or another TInstallGroup component");
  if (!value && TCustomInstall::Instance()) TFileRelated::SetContainer(TCustomInstall::Instance());
}

const ClassInfo& TInstallGroup::StaticClass() {
  static const ClassInfo info = [] {
    using C = TInstallGroup;
    std::vector<PropInfo> properties = FileContainerProperties();
    properties.push_back(ObjectProp<C, TInstallGroupDialogOptions>("DialogOptions", &C::DialogOptions));
    return ClassInfo{"TInstallGroup", &TCustomInstallGroup::StaticClass(),
                     [](TComponent* owner) -> TComponent* { return New<TInstallGroup>(owner); },
                     std::move(properties)};
  }();
  return info;
}

void TInstallDirectory::RemoveMissingFiles() {
  for (int i = FileCount() - 1; i >= 0; --i)
    if (!FileExists(Files(i)->SourcePath())) Free(Files(i));
}

const ClassInfo& TInstallDirectory::StaticClass() {
  static const ClassInfo info{"TInstallDirectory", &TFileContainer::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TInstallDirectory>(owner); },
                              FileContainerProperties()};
  return info;
}

// TpsFileContainer

const ClassInfo& TpsFileContainer::StaticClass() {
  using C = TpsFileContainer;
  static const ClassInfo info{"TpsFileContainer", &TCustomPathSpecifier::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TpsFileContainer>(owner); },
                              {ComponentProp<C, TFileContainer>("FileContainer", &C::FileContainer,
                                                                &C::SetFileContainer)}};
  return info;
}

void TpsFileContainer::SetFileContainer(TFileContainer* container) {
  file_container_ = container;
  if (container) container->FreeNotification(this);
}

void TpsFileContainer::Loaded() {
  TCustomPathSpecifier::Loaded();
  if (file_container_) file_container_->ReplacePathSpecifier(this);
}

void TpsFileContainer::Notification(TComponent* component, TOperation operation) {
  TCustomPathSpecifier::Notification(component, operation);
  if (operation == TOperation::opRemove && component == file_container_) file_container_ = nullptr;
}

void TpsFileContainer::SetOwnName(const std::string& name) { TCustomPathSpecifier::SetName(name); }

void TpsFileContainer::SetName(const std::string& name) {
  static int clash_counter = 0;
  if (Owner() && !name.empty()) {
    TComponent* other = Owner()->FindComponent(name);
    if (other && other != this) MakeUniqueComponentName(*other, "nameClash" + IntToStr(++clash_counter));
  }
  TCustomPathSpecifier::SetName(name);
}

void TpsFileContainer::Validate(TComponent* obj) {
  if (obj && (obj->InheritsFrom("TFileContainer") || obj->InheritsFrom("TCustomInstallFile")))
    throw IEPathSpecifier("A file container cannot reference another file container or group");
}

void TpsFileContainer::GetPath(TComponent* obj, std::string& path) {
  Validate(obj);
  path = file_container_ ? file_container_->GetFullDestDir() : "";
}

void TpsFileContainer::GetDescription(std::string& text) {
  text = file_container_ ? "Path into which " + file_container_->Description() + " will be installed"
                         : "Path specifier for unknown file container";
}

void TpsFileContainer::GetDisplayName(std::string& text) {
  text = file_container_ ? "<" + file_container_->Description() + ">" : "Path specifier for unknown file container";
}

}  // namespace install
