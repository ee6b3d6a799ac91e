#include "items/installfile.h"

#include <array>
#include <cstdio>

#include "archive/day_date.h"
#include "core/exceptions.h"
#include "core/install.h"
#include "core/translator.h"
#include "items/uninstall.h"
#include "os.h"
#include "paths/registry.h"

namespace install {

using namespace forms;

const std::vector<std::string> kInstallFileTypeNames = {"iftNormal", "iftJustADLL", "iftApplicationSpecificDLL",
                                                        "iftVendorSharedDLL", "iftSystemWideDLL"};

namespace {

TCustomInstallFileList* g_file_list = nullptr;
TCustomInstallFileList* g_pending_list = nullptr;
bool g_raise_registration_errors = true;
TQuestionHandler g_question_handler;

// The file identifiers in use, and whether the first loaded file has
// cleared the table for the identifiers the script stores.
std::array<bool, TQndrCompress::kFileIDs> g_file_ids_used{};
bool g_file_id_table_initialized = false;

int32_t TakeFreeFileID() {
  for (int32_t id = 0; id < TQndrCompress::kFileIDs; ++id)
    if (!g_file_ids_used[static_cast<size_t>(id)]) {
      g_file_ids_used[static_cast<size_t>(id)] = true;
      return id;
    }
  return 0;
}

void ReleaseFileID(int32_t id) {
  if (id >= 0 && id < TQndrCompress::kFileIDs) g_file_ids_used[static_cast<size_t>(id)] = false;
}

void MarkFileID(int32_t id) {
  if (id >= 0 && id < TQndrCompress::kFileIDs) g_file_ids_used[static_cast<size_t>(id)] = true;
}

const char* const kBlankDestination =
    "Cannot compress,copy, or install the following file because it's destination directory is blank. File "
    "is :%s";
const char* const kBlankArchive =
    "Cannot either compress or decompress the following file because it's archive file property is blank. File "
    "is :%s";

std::string UpperExtension(const std::string& name) { return UpperCase(ExtractFileExt(name)); }

void DetachHandlers(TQndrCompress& archive) {
  archive.SetOnNewDisk(nullptr);
  archive.SetOnStatus(nullptr);
  archive.SetOnAborted(nullptr);
}

// Takes a file's handlers off the archive component when its operation
// ends, however it ends.
class THandlersDetached {
public:
  explicit THandlersDetached(TQndrCompress& archive) : archive_(archive) {}
  ~THandlersDetached() { DetachHandlers(archive_); }
  THandlersDetached(const THandlersDetached&) = delete;
  THandlersDetached& operator=(const THandlersDetached&) = delete;

private:
  TQndrCompress& archive_;
};

}  // namespace

// Lists

void TCustomInstallFileList::Add(TCustomInstallFile* file) {
  if (!file) throw IECustomInstallFileList("Cannot add a blank entry to the TCustomInstallFileList object");
  items_.push_back(file);
}

void TCustomInstallFileList::Remove(TCustomInstallFile* file) {
  for (auto it = items_.begin(); it != items_.end();)
    it = *it == file ? items_.erase(it) : it + 1;
}

TCustomInstallFileList* FileList() { return g_file_list; }
TCustomInstallFileList* PendingRegistrationList() { return g_pending_list; }

void InitializeFileLists() {
  if (!g_file_list) g_file_list = new TCustomInstallFileList;
  if (!g_pending_list) g_pending_list = new TCustomInstallFileList;
  g_file_ids_used.fill(false);
  g_file_id_table_initialized = false;
  g_raise_registration_errors = true;
}

void FinalizeFileLists() {
  delete g_pending_list;
  g_pending_list = nullptr;
  delete g_file_list;
  g_file_list = nullptr;
}

bool RaiseRegistrationErrors() { return g_raise_registration_errors; }
void SetRaiseRegistrationErrors(bool v) { g_raise_registration_errors = v; }

void SetQuestionHandler(TQuestionHandler handler) { g_question_handler = std::move(handler); }

bool AskUser(const std::string& text, TQuestion kind) {
  return g_question_handler ? g_question_handler(text, kind) : AskUserBySystem(text, kind);
}

bool ReadFileDateAndSize(const std::string& path, double& date, int32_t& size) {
  os::FileInfo info;
  if (!os::FileQuery(path.c_str(), &info) || info.isDirectory || !day_date::ReadFileDate(path, &date)) return false;
  size = static_cast<int32_t>(info.size);
  return true;
}

bool DeleteFileNamed(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool SaveTextFile(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  // Unbuffered, the write itself tells of a full disk: a buffered one
  // would learn of it only when closing, which some C libraries do not
  // report.
  std::setvbuf(file, nullptr, _IONBF, 0);
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  written = std::fclose(file) == 0 && written;
  if (!written) std::remove(path.c_str());
  return written;
}

EOleError::EOleError(int32_t result)
    : Exception(Format("OLE error %.8X", {int64_t{static_cast<uint32_t>(result)}})), result_(result) {}

// TCustomInstallFile

std::vector<PropInfo> InstallFileProperties() {
  using C = TCustomInstallFile;
  using Notify = void(TCustomInstallFile*);
  return {ContainerProperty(),
          StringProp<C>("ArchiveFile", &C::ArchiveFile, &C::SetArchiveFile),
          ComponentProp<C, TCustomPathSpecifier>("ArchiveFileType", &C::ArchiveFileType, &C::SetArchiveFileType),
          EnumProp<C, TlzhCommand>("AddToArchive", kLzhCommandNames, &C::AddToArchive, &C::SetAddToArchive,
                                   lzcOverwrite),
          BoolProp<C>("Net", &C::Net, &C::SetNet, false),
          ComponentProp<C, TCustomNetInstallLocation>("NetLocation", &C::NetLocation, &C::SetNetLocation),
          StringProp<C>("RunParameters", &C::RunParameters, &C::SetRunParameters),
          BoolProp<C>("Uninstall", &C::Uninstall, &C::SetUninstall, true),
          SetOfProp<C, TQndrFileAttributesSet>("InstallAttributes", kQndrFileAttributeNames, &C::InstallAttributes,
                                               &C::SetInstallAttributes, 0),
          BoolProp<C>("ActiveX", &C::ActiveX, &C::SetActiveX, false),
          StringProp<C>("DestName", &C::DestName, &C::SetDestName),
          StringProp<C>("FileName", &C::FileName, &C::SetFileName),
          EnumProp<C, TInstallFileType>("FileType", kInstallFileTypeNames, &C::FileType, &C::SetFileType, iftNormal),
          StringProp<C>("IncludeFromDir", &C::IncludeFromDir, &C::SetIncludeFromDir),
          EnumProp<C, TOverwriteType>("OverwriteMode", kOverwriteTypeNames, &C::OverwriteMode, &C::SetOverwriteMode,
                                      owAlways),
          BoolProp<C>("RegisterAsHelp", &C::RegisterAsHelp, &C::SetRegisterAsHelp, false),
          BoolProp<C>("RunAfterInstall", &C::RunAfterInstall, &C::SetRunAfterInstall, false),
          BoolProp<C>("UpdateDLLCounter", &C::UpdateDLLCounter, &C::SetUpdateDLLCounter, false),
          IntProp<C>("UniqueID", &C::UniqueID, &C::SetUniqueID),
          EventProp<C, Notify>("OnAfterCompress", &C::SetOnAfterCompress),
          EventProp<C, Notify>("OnAfterCopy", &C::SetOnAfterCopy),
          EventProp<C, Notify>("OnAfterInstall", &C::SetOnAfterInstall),
          EventProp<C, Notify>("OnBeforeCompress", &C::SetOnBeforeCompress),
          EventProp<C, Notify>("OnBeforeCopy", &C::SetOnBeforeCopy),
          EventProp<C, Notify>("OnBeforeInstall", &C::SetOnBeforeInstall),
          EventProp<C, void(TCustomInstallFile*, int32_t, int32_t)>("OnStatus", &C::SetOnStatus),
          EventProp<C, void(TCustomInstallFile*, int32_t, std::string&)>("OnNewDisk", &C::SetOnNewDisk),
          EventProp<C, Notify>("OnReplacing", &C::SetOnReplacing)};
}

const ClassInfo& TCustomInstallFile::StaticClass() {
  static const ClassInfo info{"TCustomInstallFile", &TFileRelated::StaticClass()};
  return info;
}

const ClassInfo& TInstallFile::StaticClass() {
  static const ClassInfo info{"TInstallFile", &TCustomInstallFile::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TInstallFile>(owner); },
                              InstallFileProperties()};
  return info;
}

void TCustomInstallFile::Create(TComponent* owner) {
  TFileRelated::Create(owner);
  SetNet(false);
  if (FileList()) FileList()->Add(this);
  file_id_ = TakeFreeFileID();
}

void TCustomInstallFile::Destroy() {
  if (PendingRegistrationList()) PendingRegistrationList()->Remove(this);
  if (FileList()) FileList()->Remove(this);
  ReleaseFileID(file_id_);
  TFileRelated::Destroy();
}

void TCustomInstallFile::Loaded() {
  TFileRelated::Loaded();
  if (!g_file_id_table_initialized) {
    g_file_ids_used.fill(false);
    g_file_id_table_initialized = true;
  }
  MarkFileID(file_id_);
}

void TCustomInstallFile::SetUniqueID(int32_t id) {
  if (!Loading()) ReleaseFileID(file_id_);
  file_id_ = id;
  if (!Loading()) MarkFileID(id);
}

std::string TCustomInstallFile::SourcePath() const { return AddTrailingPathDelimiter(include_from_dir_) + file_name_; }

std::string TCustomInstallFile::DestinationPath() { return AddTrailingPathDelimiter(GetFullDestDir()) + dest_name_; }

std::string TCustomInstallFile::InstalledPath() { return in_use_ ? replaced_path_ : DestinationPath(); }

void TCustomInstallFile::SendUp(int code, TPersistent* param) {
  if (Container()) Container()->DoInformationEventControl(this, code, param);
}

void TCustomInstallFile::Abort() { throw EAIUserAbort(); }

void TCustomInstallFile::SetState(TInstallFileState state) {
  TIdleAfterwards idle(state_);
  switch (state) {
    case ifsCompress:
      Compress();
      break;
    case ifsInstall:
      Process();
      break;
    case ifsCopying:
      CopyFile();
      break;
    case ifsNone:
    case ifsReflect:
      break;
  }
}

TInstallFile* TInstallFile::CreateFromPath(TComponent* owner, const std::string& path) {
  auto* file = New<TInstallFile>(owner);
  try {
    file->SetIncludeFromDir(RemoveTrailingBackslash(ExtractFileDir(path)));
    file->SetFileName(ExtractFileName(path));
  } catch (...) {
    Free(file);
    throw;
  }
  return file;
}

TInstallFile* TInstallFile::CreateInContainer(TComponent* owner, TInstallContainer* container,
                                              const std::string& path) {
  TInstallFile* file = CreateFromPath(owner, path);
  try {
    file->SetContainer(container);
  } catch (...) {
    Free(file);
    throw;
  }
  return file;
}

void TInstallFile::Reflect() {
  TIdleAfterwards idle(StateValue());
  StateValue() = ifsReflect;
  if (IReflectHandler* handler = ReflectHandler()) handler->ReflectObject(this);
}

// The build

TFileContainer* TCustomInstallFile::FileContainer() const { return dynamic_cast<TFileContainer*>(Container()); }

TCustomNetInstallLocation* TCustomInstallFile::EffectiveNetLocation() const {
  if (NetLocation()) return NetLocation();
  if (!Container()) return DefaultLocation();
  TFileContainer* container = FileContainer();
  return container ? container->EffectiveNetLocation() : nullptr;
}

bool TCustomInstallFile::HasOwnArchive() const {
  return NetLocation() || overwrite_mode_ == owVersion || overwrite_mode_ == owDate ||
         overwrite_mode_ == owVersionDate;
}

bool TCustomInstallFile::ComesOverTheNet() const {
  TDistributeType type = InstallDistributeType();
  return type == dtWeb || (type == dtTraditionalNet && Net());
}

std::string TCustomInstallFile::DownloadedArchive() const {
  if (HasOwnArchive() && IsArchiveLocal()) return LocalArchive();
  TFileContainer* container = FileContainer();
  return container && container->IsArchiveLocal() ? container->LocalArchive() : std::string();
}

std::string TCustomInstallFile::GetArchivePath() {
  if (state_ == ifsInstall && ComesOverTheNet()) {
    std::string downloaded = DownloadedArchive();
    if (!downloaded.empty()) return downloaded;
  }
  return TFileRelated::GetArchivePath();
}

void TCustomInstallFile::FetchArchive() {
  if (!ComesOverTheNet()) return;
  if (HasOwnArchive()) {
    DownloadArchive();
    return;
  }
  TFileContainer* container = FileContainer();
  if (container && !container->IsArchiveLocal()) container->DownloadArchive();
}

bool TCustomInstallFile::NetBound(int options) const {
  return !(options & coForceNetFilesLocal) && (Net() || (options & coForceFilesNet));
}

void TCustomInstallFile::AttachHandlers(TQndrCompress& archive) {
  archive.SetOnAborted([this](TComponent*) { Abort(); });
  archive.SetOnStatus([this](TQndrCompress*, const TlzhFileStats& stats) { ArchiveStatus(stats); });
}

void TCustomInstallFile::Compress() {
  RunBuildOperation(*this, state_, ifsCompress, [this] {
    Fire(on_before_compress_, this);
    SendUp(ieBeforeCompressFile, this);
    std::string archive_path = GetArchivePath();
    if (Trim(archive_path).empty()) throw IECustomInstallFile(kBlankArchive, {file_name_});
    if (!Include()) return;
    ForceDirectories(ExtractFileDir(archive_path));
    TQndrCompress& archive = *SharedArchive();
    AttachHandlers(archive);
    THandlersDetached detached(archive);
    archive.SetCompressedFile(archive_path);
    archive.SetFilesToProcess(TStringList{SourcePath()});
    archive.Compress(AddToArchive(), file_id_);
    compressed_mark_ = 2;
    compressed_archive_ = archive_path;
    Fire(on_after_compress_, this);
    SendUp(ieAfterCompressFile, this);
  });
}

void TCustomInstallFile::CopyFile() {
  RunBuildOperation(*this, state_, ifsCopying, [this] {
    Fire(on_before_copy_, this);
    SendUp(ieBeforeCopyFile, this);
    if (!Include()) return;
    if (Trim(GetFullDestDir()).empty()) throw IECustomInstallFile(kBlankDestination, {Name()});
    ForceDirectories(GetFullDestDir());
    TQndrCompress& archive = *SharedArchive();
    archive.SetOnStatus([this](TQndrCompress*, const TlzhFileStats& stats) { ArchiveStatus(stats); });
    THandlersDetached detached(archive);
    archive.SetOverwrite(overwrite_mode_);
    archive.CopyFileChecked(SourcePath(), DestinationPath());
    Fire(on_after_copy_, this);
    SendUp(ieAfterCopyFile, this);
  });
}

// Setters: while loading they store; otherwise the file's rules apply.

TCustomInstallFile::FileProperties TCustomInstallFile::CurrentProperties() const {
  return {Container(), include_from_dir_, active_x_, file_type_, DestDirType(), dest_name_, DestDir(), file_name_};
}

void TCustomInstallFile::SetContainer(TInstallContainer* value) {
  if (Loading()) return TFileRelated::SetContainer(value);
  FileProperties values = CurrentProperties();
  values.container = value;
  SetFileProperties(values);
}

void TCustomInstallFile::SetDestDir(const std::string& value) {
  if (Loading()) return TFileRelated::SetDestDir(value);
  FileProperties values = CurrentProperties();
  values.dest_dir = value;
  SetFileProperties(values);
}

void TCustomInstallFile::SetDestDirType(TCustomPathSpecifier* value) {
  if (Loading()) return TFileRelated::SetDestDirType(value);
  FileProperties values = CurrentProperties();
  values.dest_dir_type = value;
  SetFileProperties(values);
}

void TCustomInstallFile::SetActiveX(bool value) {
  if (Loading()) {
    active_x_ = value;
    return;
  }
  FileProperties values = CurrentProperties();
  values.active_x = value;
  SetFileProperties(values);
}

void TCustomInstallFile::SetDestName(const std::string& value) {
  if (Loading()) {
    dest_name_ = value;
    return;
  }
  FileProperties values = CurrentProperties();
  values.dest_name = value;
  SetFileProperties(values);
}

void TCustomInstallFile::SetFileName(const std::string& value) {
  if (Loading()) {
    file_name_ = value;
    return;
  }
  FileProperties values = CurrentProperties();
  values.file_name = value;
  SetFileProperties(values);
}

void TCustomInstallFile::SetFileType(TInstallFileType value) {
  if (Loading()) {
    file_type_ = value;
    return;
  }
  FileProperties values = CurrentProperties();
  values.file_type = value;
  SetFileProperties(values);
}

void TCustomInstallFile::SetIncludeFromDir(const std::string& value) {
  if (Loading()) {
    include_from_dir_ = value;
    return;
  }
  FileProperties values = CurrentProperties();
  values.include_from_dir = value;
  SetFileProperties(values);
}

void TCustomInstallFile::SetFileProperties(FileProperties values) {
  bool container_changed = values.container != Container();
  bool dest_dir_type_changed = values.dest_dir_type != DestDirType();
  bool file_name_changed = !SameText(values.file_name, file_name_);
  bool include_from_dir_changed = !SameText(values.include_from_dir, include_from_dir_);
  if (values.container && !values.container->InheritsFrom("TFileContainer"))
    throw IECustomInstallFile(
        "The following TInstallFile component %s requires the Container property to be a component descended "
        "from the TFileContainer component",
        {Name()});
  if (values.container && (file_name_changed || container_changed || include_from_dir_changed)) {
    std::string source = AddTrailingPathDelimiter(values.include_from_dir) + values.file_name;
    TCustomInstallFile* other = static_cast<TFileContainer*>(values.container)->FindFile(source);
    if (other && other != this) throw IEfcDuplicateFile("There is already a file with the name :%s", {source});
  }
  if (file_name_changed && !Trim(values.file_name).empty()) {
    values.dest_name = values.file_name;
    TQndrFileAttributesSet attributes = 0;
#ifdef _WIN32
    GetFileAttributesSet(AddTrailingPathDelimiter(include_from_dir_) + values.file_name, attributes);
#endif
    install_attributes_ = attributes & FileAttributeBit(qfaReadOnly);
  }
  std::string extension = UpperExtension(values.file_name);
  if (file_name_changed || include_from_dir_changed) {
    register_as_help_ = extension == ".HLP" || extension == ".CNT";
    if (extension == ".TLB" || extension == ".OCX") {
      values.active_x = true;
    } else {
      include_from_dir_ = values.include_from_dir;
      file_name_ = values.file_name;
      try {
        values.active_x = HasOLESelfRegister();
      } catch (const std::exception&) {
        values.active_x = false;
      }
    }
  }
  if (values.active_x && values.active_x != active_x_) values.file_type = iftSystemWideDLL;
  if (dest_dir_type_changed && values.dest_dir_type && extension.size() == 4 &&
      std::string(".DLL,.OCX,.BLL,.EXE").find(extension) != std::string::npos) {
    if (values.dest_dir_type->InheritsFrom("TpsWindow") || values.dest_dir_type->InheritsFrom("TpsBDEDLL"))
      overwrite_mode_ = owVersionDate;
    else if (values.dest_dir_type->InheritsFrom("TpsSystem"))
      values.file_type = iftSystemWideDLL;
  }
  if (values.file_type != file_type_) {
    if (values.file_type != iftNormal) overwrite_mode_ = owVersionDate;
    if (values.file_type == iftVendorSharedDLL || values.file_type == iftSystemWideDLL) update_dll_counter_ = true;
  }
  TFileRelated::SetDestDirType(values.dest_dir_type);
  TFileRelated::SetContainer(values.container);
  switch (values.file_type) {
    case iftApplicationSpecificDLL:
      values.dest_dir = "\\System";
      TFileRelated::SetDestDirType(FindPathSpecifierByClass("TpsMainInstall"));
      break;
    case iftVendorSharedDLL:
      values.dest_dir = "\\System";
      TFileRelated::SetDestDirType(FindPathSpecifierByClass("TpsCommonFiles"));
      break;
    case iftSystemWideDLL:
      values.dest_dir.clear();
      TFileRelated::SetDestDirType(FindPathSpecifierByClass("TpsSystem"));
      break;
    default:
      break;
  }
  include_from_dir_ = values.include_from_dir;
  file_name_ = values.file_name;
  TFileRelated::SetDestDir(values.dest_dir);
  dest_name_ = values.dest_name;
  file_type_ = values.file_type;
  active_x_ = values.active_x;
}

// Information from the archive or the source file

void TCustomInstallFile::ReadFileInfo() {
  std::string source = SourcePath();
  if (!ReadFileDateAndSize(source, date_, size_))
    throw IECustomInstallFile(
        "Could not open or find the following file when trying to read the Size, Date, and Version :%s", {source});
  SharedVersionResource().SetFileName(source);
  version_ = SharedVersionResource().VersionInfo().FileVersion.substr(0, kMaxVersion);
}

void TCustomInstallFile::ReadArchiveInfo() {
  TCustomInstall* install = TCustomInstall::Instance();
  if (install && install->Running() && ArchiveInfoRead()) return;
  if (!Container() || !Container()->InheritsFrom("TFileContainer"))
    throw IECustomInstallFile(
        "%s cannot perform ReadInfoFromArchive because either no container is assigned or the container is not "
        "TFileContainer",
        {Name()});
  std::string archive_path;
  if (!ComesOverTheNet()) {
    archive_path = GetArchivePath();
  } else {
    archive_path = DownloadedArchive();
    // Not downloaded yet: the net file list has told size, date and version.
    if (archive_path.empty()) return;
  }
  if (Trim(archive_path).empty()) throw IECustomInstallFile(kBlankArchive, {file_name_});
  bool is_private = false;
  TQndrCompress* archive = ArchiveFor(archive_path, is_private);
  struct Release {
    TQndrCompress* archive;
    bool is_private;
    ~Release() {
      if (is_private) Free(archive);
    }
  } release{archive, is_private};
  archive->SetCompressedFile(archive_path);
  int index = archive->IndexOfFileID(file_id_);
  if (index >= 0) {
    TlzhFileStats stats = archive->GetFileStats(index);
    TFileHeader header(stats.Header);
    compressed_size_ = header.CompressedSize();
    date_ = header.FileDate();
    size_ = header.FileSize();
    version_ = header.Version().substr(0, kMaxVersion);
  }
  SetArchiveInfoRead(true);
}

TQndrCompress* TCustomInstallFile::ArchiveFor(const std::string& archive_path, bool& is_private) {
  TCustomInstall* install = TCustomInstall::Instance();
  is_private = !(install && SharedArchive() && SameText(archive_path, install->GetArchivePath()));
  if (!is_private) return SharedArchive();
  auto* archive = New<TQndrCompress>(nullptr);
  if (SharedArchive()) archive->ShareAbortWith(*SharedArchive());
  return archive;
}

bool TCustomInstallFile::HasOLESelfRegister() {
  std::unique_ptr<VersionReader> reader = MakeSystemVersionReader();
  std::vector<uint8_t> translation;
  if (!reader->Load(SourcePath()) || !reader->Query("\\VarFileInfo\\Translation", &translation) ||
      translation.size() < 4)
    return false;
  unsigned language = translation[0] | (translation[1] << 8);
  unsigned code_page = translation[2] | (translation[3] << 8);
  char table[9];
  std::snprintf(table, sizeof table, "%04X%04X", language, code_page);
  std::vector<uint8_t> value;
  return reader->Query(std::string("\\StringFileInfo\\") + table + "\\OLESelfRegister", &value);
}

// Installation

bool TCustomInstallFile::WriteDecision() {
  switch (IsFileNewerByVersionAndDate(version_, DestinationPath(), overwrite_mode_, date_)) {
    case TDecision::Error:
    case TDecision::Replace:
      return true;
    case TDecision::Same:
    case TDecision::Keep:
      return false;
    case TDecision::Ask:
      // Nothing to overwrite: nothing to ask.
      return !target_existed_ || AskUser(Format(TranslateString("Copy This File %s?"), {file_name_}), TQuestion::YesNo);
  }
  return true;
}

void TCustomInstallFile::DoInstall() {
  in_use_ = false;
  replaced_path_.clear();
  try {
    SendUp(ieFileStarting, this);
    Fire(on_before_install_, this);
  } catch (const EAbort&) {
    // The file is left out: its processing ends here, before it counts as
    // installed or writes uninstall entries.
    SendUp(ieFileAborted, this);
    throw;
  }
  if (Trim(GetFullDestDir()).empty()) throw IECustomInstallFile(kBlankDestination, {Name()});
  target_existed_ = FileExists(DestinationPath());
  bool write = WriteDecision();
  if (write) {
    try {
      ReplaceInUse();
    } catch (const EAbort&) {
      write = false;
    }
  }
  if (write) {
    TakeRecordedLocalArchive();
    FetchArchive();
    Extract();
  } else {
    SendUp(ieFileSkipped, this);
    FinishInstall();
  }
}

void TCustomInstallFile::FinishInstall() {
  AfterCopy();
  Fire(on_after_install_, this);
  SendUp(ieFileDone, this);
  TFileRelated::DoInstall();
}

void TCustomInstallFile::Extract() {
  state_ = ifsInstall;
  ForceDirectories(GetFullDestDir());
  std::string archive_path = GetArchivePath();
  if (Trim(archive_path).empty()) throw IECustomInstallFile(kBlankArchive, {file_name_});
  bool is_private = false;
  TQndrCompress* archive = ArchiveFor(archive_path, is_private);
  TIdleAfterwards idle(state_);
  struct Release {
    TQndrCompress* archive;
    bool is_private;
    ~Release() {
      DetachHandlers(*archive);
      // A cancel during the extraction is already the shared component's:
      // a private one shares its abort flag (ArchiveFor). A failure is not
      // a cancel and stops no later file.
      if (is_private) Free(archive);
    }
  } release{archive, is_private};
  archive->SetCompressedFile(archive_path);
  archive->SetExtractDirectory(GetFullDestDir());
  archive->SetTargetName(dest_name_);
  archive->SetOverwrite(overwrite_mode_);
  AttachHandlers(*archive);
  archive->SetOnNewDisk([this](TQndrCompress*, int32_t disk, std::string& path) { ArchiveNewDisk(disk, path); });
  archive->SetFilesToProcess(TStringList{SourcePath()});
  archive->Extract();
  FinishInstall();
  try {
    BroadcastInformationEvent(this, ieCopyFinished, nullptr);
  } catch (...) {
    archive->SetAbort(true);
    throw;
  }
}

void TCustomInstallFile::ArchiveStatus(const TlzhFileStats& stats) {
  TFileStatusParameter status;
  status.FileBytesDone = stats.FileBytesDone;
  status.FilePercent = stats.FilePercent;
  status.FileName = file_name_;
  status.FileStats = stats;
  status.TotalBytesDone = stats.TotalBytesDone;
  status.TotalPercent = stats.TotalPercent;
  Fire(on_status_, this, status.FilePercent, status.TotalPercent);
  BroadcastInformationEvent(this, ieFileStatus, &status);
  TList list;
  list.Items = {this, &status};
  int code = state_ == ifsCompress ? ieCompressStatus : state_ == ifsCopying ? ieCopyStatus : ieInstallStatus;
  SendUp(code, &list);
}

void TCustomInstallFile::ArchiveNewDisk(int32_t disk_number, std::string& path) {
  SetTag(0);
  TDiskParameter disk;
  disk.DiskNumber = disk_number;
  disk.Path = RemoveTrailingBackslash(ExtractFileDir(GetArchivePath()));
  Fire(on_new_disk_, this, disk_number, disk.Path);
  TList list;
  list.Items = {this, &disk};
  BroadcastInformationEvent(this, ieNewDisk, &list);
  SendUp(ieNewDiskNeeded, &list);
  if (!on_new_disk_ && Tag() == 0 &&
      !AskUser(Format(TranslateString("Please insert disk #%d"), {int64_t{disk_number}}), TQuestion::OkCancel)) {
    // The user cancelled: the archive stops, and so does the installation,
    // instead of asking for the disk again.
    if (SharedArchive()) SharedArchive()->SetAbort(true);
    Abort();
  }
  path = RemoveTrailingBackslash(disk.Path);
  try {
    if (auto* main_archive = dynamic_cast<TpsMainArchiveFile*>(FindPathSpecifierByClass("TpsMainArchiveFile")))
      main_archive->SetDiskPath(path);
  } catch (const std::exception&) {
    // Without the specifier the next disk is asked for again.
  }
  SetTag(0);
}

void TCustomInstallFile::ReplaceInUse() {
  Fire(on_replacing_, this);
  BroadcastInformationEvent(this, ieReplacingFile, this);
  SendUp(ieFileReplacing, this);
  install_ = true;
  std::string old_path = DestinationPath();
  // The file stays until the new one is whole: the extraction puts it in
  // its place.
  if (!FileExists(old_path) || FileCanBeReplaced(old_path)) return;
  in_use_ = true;
  replaced_path_ = old_path;
  std::string dir = AddTrailingPathDelimiter(GetFullDestDir());
  std::string temporary;
  for (int n = 1;; ++n) {
    temporary = ChangeFileExt(dest_name_, "." + IntToStr(n));
    if (!FileExists(dir + temporary)) break;
  }
  SetDestName(temporary);
  ScheduleReplacement(old_path);
}

void TCustomInstallFile::AfterCopy() {
  // The installed file's name: a file in use is registered under the name
  // it has after the next start.
  if (register_as_help_)
    WriteRegistryString(hkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\Help",
                        UpperCase(ExtractFileName(InstalledPath())), GetFullDestDir());
  if (update_dll_counter_ && !IncrementSharedDLLCount())
    throw IECustomInstallFile("Cannot update the DLL count for the following file :%s:", {file_name_});
  TCustomInstall* install = TCustomInstall::Instance();
  if (in_use_ && install) {
    install->AddUnfinished(Name(), kUnfinishedResume);
  } else if (active_x_) {
    try {
      RegisterFileByType();
    } catch (const std::exception&) {
      if (RaiseRegistrationErrors()) throw;
      PendingRegistrationList()->Add(this);
    }
  }
}

void TCustomInstallFile::RegisterFileByType() {
  std::string extension = UpperExtension(file_name_);
  if (extension == ".EXE")
    RegisterExeServer();
  else if (extension == ".TLB")
    RegisterTypeLibrary();
  else
    RegisterDllServer();
}

void TCustomInstallFile::CheckRegistrationTarget() {
  if (Trim(GetFullDestDir()).empty() || !FileExists(DestinationPath()))
    throw IECustomInstallFile(kBlankDestination, {Name()});
}

void TCustomInstallFile::ResumeUnfinished() {
  if (active_x_) RegisterFileByType();
#ifdef _WIN32
  SetFileAttributesFromSet(DestinationPath(), install_attributes_);
#endif
}

void TCustomInstallFile::WriteUninstallInfo(const std::string& key) {
  if (active_x_)
    AddUninstallActiveXEntry(key, InstalledPath());
  else
    AddUninstallFileEntry(key, InstalledPath());
}

}  // namespace install
