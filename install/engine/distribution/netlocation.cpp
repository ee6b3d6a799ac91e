#include "distribution/netlocation.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "application.h"
#include "core/support.h"
#include "distribution/netlocation_system.h"
#include "paths/registry.h"

namespace install {

using namespace forms;

const std::vector<std::string> kInternetProtocolNames = {"ipFTP", "ipHTTP"};

namespace {

// Values of the library's C interface.
constexpr uint32_t kPreconfiguredAccess = 0;
constexpr uint32_t kServiceFtp = 1;
constexpr uint32_t kServiceHttp = 3;
constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kFtpTransferBinary = 2;
// Reload from the server, reuse the connection, write nothing to the cache.
constexpr uint32_t kHttpRequestFlags = 0xA4000000;
constexpr uint32_t kQueryContentLength = 5;
constexpr uint32_t kQueryStatusCode = 19;
constexpr uint32_t kErrorHeaderNotFound = 12150;
constexpr uint32_t kErrorTimeout = 12002;
constexpr uint32_t kErrorConnectionAborted = 12030;
constexpr const char* kAcceptHeader = "Accept: */*\r\n\r\n";
constexpr uint32_t kBlockSize = 8192;
constexpr uint32_t kResponseBufferSize = 3000;
// The system's setting of how long the internet library waits for data
// (milliseconds), which the downloads keep too; a minute without it.
constexpr const char* kInternetSettingsKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* kReceiveTimeoutValue = "ReceiveTimeout";
constexpr int32_t kDefaultReceiveTimeout = 60000;
// How often the message queue is served while a block is on its way.
constexpr auto kServeMessagesEvery = std::chrono::milliseconds(50);

TCustomNetInstallLocationList* g_location_list = nullptr;
TCustomNetInstallLocation* g_current_location = nullptr;
TCustomNetInstallLocation* g_default_location = nullptr;
bool g_download_aborted = false;

// InternetGetLastResponseInfoA for the whole program, with a library
// reference of its own: every ENIL message asks for it, also after the
// location that found it has let its library go.
struct ResponseEntryPoint {
  void* library = nullptr;
  wininet::InternetGetLastResponseInfoProc proc = nullptr;
};
ResponseEntryPoint g_response;

// The message of every ENIL: the specific text, the library's name of the
// thread's last error, the current server and its last response. The error
// code is read first, before anything else can change it.
std::string NILMessage(const std::string& pattern, const std::vector<FormatArg>& args) {
  std::string error_name = WinInetErrorName(wininet::LastErrorCode());
  TCustomNetInstallLocation* current = CurrentLocation();
  std::string server = current ? current->LoginInformation().Hostname() : std::string();
  return Format("%s. Error message %s. Server %s. Response from server %s",
                {Format(pattern, args), error_name, server, LastResponseText()});
}

template <class E>
[[noreturn]] void RaiseNIL(const std::string& pattern, const std::vector<FormatArg>& args = {}) {
  throw E(NILMessage(pattern, args));
}

enum class Export { Ansi, Plain };

// Looks up one entry point, for a text-taking one its ANSI variant (name +
// "A"); raises ENIL_FailLoadDLLProc with the plain name.
template <class Proc>
Proc LookUp(void* library, const std::string& name, Export kind) {
  std::string exported = kind == Export::Ansi ? name + "A" : name;
  void* found = wininet::FindEntryPoint(library, exported.c_str());
  if (!found) throw ENIL_FailLoadDLLProc(Format("Failed to load the procedure %s from WININET.DLL", {name}));
  return reinterpret_cast<Proc>(found);
}

std::chrono::milliseconds ReceiveTimeout() {
  int32_t timeout = ReadRegistryInteger(hkCurrentUser, kInternetSettingsKey, kReceiveTimeoutValue, 0);
  return std::chrono::milliseconds(timeout > 0 ? timeout : kDefaultReceiveTimeout);
}

// One read of the remote file, done by a thread of its own so that the
// installer's thread can serve its messages (a Cancel among them) and give
// up on a server that stops sending. The reading thread holds a reference
// to the library of its own: a read given up on may return long after its
// download has let the library go.
class BlockRead {
public:
  BlockRead(wininet::InternetReadFileProc read_file, wininet::HINTERNET file, uint32_t size)
      : result_(std::make_shared<Result>()) {
    result_->block.resize(size);
    void* library = wininet::OpenLibrary();
    thread_ = std::thread([result = result_, library, read_file, file, size] {
      uint32_t read = 0;
      bool succeeded = read_file(file, result->block.data(), size, &read) != 0;
      uint32_t error = succeeded ? 0 : wininet::LastErrorCode();
      {
        std::lock_guard<std::mutex> lock(result->mutex);
        result->succeeded = succeeded;
        result->read = read;
        result->error = error;
        result->done = true;
      }
      result->arrived.notify_all();
      if (library) wininet::CloseLibrary(library);
    });
  }
  // A read still on its way when its download ends goes on alone.
  ~BlockRead() {
    if (thread_.joinable()) thread_.detach();
  }
  BlockRead(const BlockRead&) = delete;
  BlockRead& operator=(const BlockRead&) = delete;

  // Waits up to wait for the read to end; true once it has.
  bool Await(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(result_->mutex);
    if (!result_->arrived.wait_for(lock, wait, [this] { return result_->done; })) return false;
    lock.unlock();
    thread_.join();
    return true;
  }
  // Once the read has ended: whether it succeeded, the thread's error and
  // the bytes read.
  bool Succeeded() const { return result_->succeeded; }
  uint32_t Error() const { return result_->error; }
  uint32_t Read() const { return result_->read; }
  const char* Block() const { return result_->block.data(); }

private:
  struct Result {
    std::mutex mutex;
    std::condition_variable arrived;
    bool done = false;
    bool succeeded = false;
    uint32_t read = 0;
    uint32_t error = 0;
    std::vector<char> block;
  };
  std::shared_ptr<Result> result_;
  std::thread thread_;
};

// The local file a download writes.
class LocalFile {
public:
  LocalFile(const std::string& path, const std::string& owner_name) : path_(path), owner_name_(owner_name) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) Fail();
  }
  ~LocalFile() {
    if (file_) std::fclose(file_);
  }
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  void Write(const char* data, uint32_t length) {
    if (std::fwrite(data, 1, length, file_) != length) Fail();
  }
  // Closing writes what is buffered, so it can fail like a write.
  void Close() {
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) Fail();
  }

private:
  [[noreturn]] void Fail() const {
    throw ENIL_WriteDestFile(Format("%s could not write to the local dest file %s", {owner_name_, path_}));
  }
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string owner_name_;
};

}  // namespace

// Login information.

const ClassInfo& TCustomLoginInformation::StaticClass() {
  static const ClassInfo info{"TCustomLoginInformation", &TPersistent::StaticClass()};
  return info;
}

const ClassInfo& TLoginInformation::StaticClass() {
  using C = TCustomLoginInformation;
  static const ClassInfo info{
      "TLoginInformation", &TCustomLoginInformation::StaticClass(), nullptr,
      {BoolProp<C>("Anonymous", &C::Anonymous, &C::SetAnonymous, true),
       StringProp<C>("Directory", &C::Directory, &C::SetDirectory),
       StringProp<C>("Hostname", &C::Hostname, &C::SetHostname),
       StringProp<C>("Password", &C::Password, &C::SetPassword),
       EnumProp<C, TInternetProtocol>("Protocol", kInternetProtocolNames, &C::Protocol, &C::SetProtocol, ipHTTP),
       StringProp<C>("Username", &C::Username, &C::SetUsername)}};
  return info;
}

void TCustomLoginInformation::Assign(const TCustomLoginInformation& source) {
  anonymous_ = source.anonymous_;
  directory_ = source.directory_;
  hostname_ = source.hostname_;
  password_ = source.password_;
  protocol_ = source.protocol_;
  username_ = source.username_;
}

bool TCustomLoginInformation::IsValid() const {
  bool has_host = !Trim(hostname_).empty();
  if (anonymous_) return has_host;
  return has_host || !Trim(password_).empty() || !Trim(username_).empty();
}

// The location.

const ClassInfo& TCustomNetInstallLocation::StaticClass() {
  static const ClassInfo info{"TCustomNetInstallLocation", &TComponent::StaticClass()};
  return info;
}

const ClassInfo& TNetInstallLocation::StaticClass() {
  using C = TCustomNetInstallLocation;
  using DataReceivedSignature =
      void(TComponent*, const std::string&, int32_t, int32_t, int32_t, const char*);
  static const ClassInfo info{
      "TNetInstallLocation", &TCustomNetInstallLocation::StaticClass(),
      [](TComponent* owner) -> TComponent* { return New<TNetInstallLocation>(owner); },
      {ObjectProp<C, TLoginInformation>("LoginInformation", &C::LoginInformation),
       EventProp<C, void(TComponent*, bool)>("OnAfterDownload", &C::SetOnAfterDownload),
       EventProp<C, void(TComponent*)>("OnAfterLogin", &C::SetOnAfterLogin),
       EventProp<C, void(TComponent*)>("OnBeforeLogin", &C::SetOnBeforeLogin),
       EventProp<C, void(TComponent*)>("OnBeforeDownload", &C::SetOnBeforeDownload),
       EventProp<C, DataReceivedSignature>("OnDataReceived", &C::SetOnDataReceived)}};
  return info;
}

void TCustomNetInstallLocation::Create(TComponent* owner) {
  TComponent::Create(owner);
  if (!g_location_list)
    throw IENetList(NILMessage("The net location list does not exist: net locations need the installer's start-up",
                               {}));
  g_location_list->Add(this);
}

void TCustomNetInstallLocation::Destroy() {
  if (g_current_location == this) g_current_location = nullptr;
  Disconnect();
  FreeInternetLibrary();
  if (g_default_location == this) g_default_location = nullptr;
  if (g_location_list) g_location_list->Remove(this);
  TComponent::Destroy();
}

void TCustomNetInstallLocation::SetLoginInformation(const TLoginInformation& value) {
  login_information_.Assign(value);
}

void TCustomNetInstallLocation::SetDownloadProgressHook(TComponent* object, TDataReceivedEvent hook) {
  download_progress_object_ = object;
  download_progress_hook_ = std::move(hook);
}

void TCustomNetInstallLocation::LoadInternetLibrary() {
  void* library = wininet::OpenLibrary();
  if (!library)
    throw ENIL_FailLoadWININET(
        "Failed to load the Wininet.dll. If this is a hybrid installation, you might want to include the "
        "WININET.DLL file in the PresetupFiles property of the TInstall component");
  try {
    auto response = LookUp<wininet::InternetGetLastResponseInfoProc>(library, "InternetGetLastResponseInfo", Export::Ansi);
    wininet::EntryPoints found;
    found.InternetOpen = LookUp<wininet::InternetOpenProc>(library, "InternetOpen", Export::Ansi);
    found.InternetConnect = LookUp<wininet::InternetConnectProc>(library, "InternetConnect", Export::Ansi);
    found.FtpSetCurrentDirectory = LookUp<wininet::FtpSetCurrentDirectoryProc>(library, "FtpSetCurrentDirectory", Export::Ansi);
    found.InternetCloseHandle = LookUp<wininet::InternetCloseHandleProc>(library, "InternetCloseHandle", Export::Plain);
    found.InternetQueryDataAvailable =
        LookUp<wininet::InternetQueryDataAvailableProc>(library, "InternetQueryDataAvailable", Export::Plain);
    found.InternetReadFile = LookUp<wininet::InternetReadFileProc>(library, "InternetReadFile", Export::Plain);
    found.FtpOpenFile = LookUp<wininet::FtpOpenFileProc>(library, "FtpOpenFile", Export::Ansi);
    found.HttpOpenRequest = LookUp<wininet::HttpOpenRequestProc>(library, "HttpOpenRequest", Export::Ansi);
    found.HttpSendRequest = LookUp<wininet::HttpSendRequestProc>(library, "HttpSendRequest", Export::Ansi);
    found.HttpQueryInfo = LookUp<wininet::HttpQueryInfoProc>(library, "HttpQueryInfo", Export::Ansi);
    if (!g_response.proc) {
      g_response.library = wininet::OpenLibrary();
      if (g_response.library) g_response.proc = response;
    }
    entry_points_ = found;
  } catch (...) {
    wininet::CloseLibrary(library);
    throw;
  }
  library_ = library;
  library_loaded_ = true;
}

void TCustomNetInstallLocation::FreeInternetLibrary() {
  if (library_) wininet::CloseLibrary(library_);
  library_ = nullptr;
  library_loaded_ = false;
  entry_points_ = {};
}

void TCustomNetInstallLocation::Connect() {
  g_current_location = this;
  if (!library_loaded_) LoadInternetLibrary();
  const TLoginInformation& login = login_information_;
  bool ftp = login.Protocol() == ipFTP;
  if (!internet_) {
    std::string agent = Application() ? Application()->Name() : std::string();
    internet_ = entry_points_.InternetOpen(agent.c_str(), kPreconfiguredAccess, nullptr, nullptr, 0);
    if (!internet_) RaiseNIL<ENIL_OpenSession>("Cannot open internet connection");
  }
  if (!connection_) {
    Fire(on_before_login_, this);
    std::string user = login.Anonymous() ? std::string() : login.Username();
    std::string password = login.Anonymous() ? std::string() : login.Password();
    // Anonymous FTP passes no login at all, so the library logs in as
    // "anonymous"; anonymous HTTP passes empty ones.
    bool no_login = ftp && login.Anonymous();
    connection_ = entry_points_.InternetConnect(internet_, login.Hostname().c_str(), 0,
                                                no_login ? nullptr : user.c_str(),
                                                no_login ? nullptr : password.c_str(),
                                                ftp ? kServiceFtp : kServiceHttp, 0, 0);
    if (!connection_) RaiseNIL<ENIL_OpenService>("Cannot connect to host %s", {login.Hostname()});
    in_ftp_directory_ = false;
    Fire(on_after_login_, this);
  }
  // Once per connection: the directory may be relative to the login's own,
  // so changing into it a second time would go one level deeper.
  if (ftp && !in_ftp_directory_) {
    std::string directory = ToServerPath(login.Directory());
    if (!entry_points_.FtpSetCurrentDirectory(connection_, directory.c_str()))
      RaiseNIL<ENIL_FTPSetDir>("Cannot set directory on server to %s", {directory});
    in_ftp_directory_ = true;
  }
}

void TCustomNetInstallLocation::Disconnect() {
  if (connection_ && entry_points_.InternetCloseHandle(connection_)) {
    connection_ = nullptr;
    in_ftp_directory_ = false;
  }
  if (internet_ && entry_points_.InternetCloseHandle(internet_)) internet_ = nullptr;
}

void TCustomNetInstallLocation::Download(const std::string& remote_name, const std::string& local_path) {
  Connect();
  local_path_ = local_path;
  remote_file_name_ = remote_name;
  Fire(on_before_download_, this);
  OpenRemoteFile();
  struct DropAfterwards {
    TCustomNetInstallLocation& location;
    ~DropAfterwards() { location.DropConnectionOfAReadGivenUp(); }
  } drop{*this};
  try {
    ReceiveFile();
  } catch (...) {
    // The failure that ended the transfer is the one to report.
    entry_points_.InternetCloseHandle(remote_file_);
    remote_file_ = nullptr;
    throw;
  }
  CloseRemoteFile();
  // The server's answer to the transfer tells whether it sent the whole
  // file: a transfer it broke off ends like a whole one on this side.
  if (login_information_.Protocol() == ipFTP && !DownloadAborted() && LastResponseText().rfind('2', 0) != 0)
    RaiseReadFailure(kErrorConnectionAborted);
  Fire(on_after_download_, this, DownloadAborted());
}

void TCustomNetInstallLocation::DropConnectionOfAReadGivenUp() {
  if (!read_given_up_) return;
  read_given_up_ = false;
  entry_points_.InternetCloseHandle(connection_);
  connection_ = nullptr;
  in_ftp_directory_ = false;
}

void TCustomNetInstallLocation::RaiseReadFailure(uint32_t error) {
  wininet::SetLastErrorCode(error);
  RaiseNIL<ENIL_ReadFile>("Could not read from file %s on the server", {remote_file_name_});
}

void TCustomNetInstallLocation::OpenRemoteFile() {
  if (login_information_.Protocol() == ipFTP) {
    remote_file_ = entry_points_.FtpOpenFile(connection_, remote_file_name_.c_str(), kGenericRead,
                                             kFtpTransferBinary, 0);
    if (!remote_file_) RaiseNIL<ENIL_FTPOpenFile>("Cannot open file %s on server", {remote_file_name_});
    return;
  }
  std::string directory = login_information_.Directory();
  std::string path = (Trim(directory).empty() ? "/" : ToServerPath(AddTrailingBackslash(directory))) +
                     remote_file_name_;
  wininet::HINTERNET request = entry_points_.HttpOpenRequest(connection_, "GET", path.c_str(), nullptr, nullptr,
                                                             nullptr, kHttpRequestFlags, 0);
  if (!request) RaiseNIL<ENIL_HTTPOpenFile>("Cannot open file %s on server", {remote_file_name_});
  if (!entry_points_.HttpSendRequest(request, kAcceptHeader, static_cast<uint32_t>(std::strlen(kAcceptHeader)),
                                     nullptr, 0)) {
    std::string message = NILMessage("Cannot send request for file %s to the server", {remote_file_name_});
    entry_points_.InternetCloseHandle(request);
    throw ENIL_HTTPSendRequest(message);
  }
  remote_file_ = request;
}

void TCustomNetInstallLocation::CloseRemoteFile() {
  wininet::HINTERNET file = remote_file_;
  remote_file_ = nullptr;
  if (!entry_points_.InternetCloseHandle(file))
    RaiseNIL<ENIL_FTPCloseFile>("Cannot close the file %s on the server", {remote_file_name_});
}

bool TCustomNetInstallLocation::QueryHttpNumber(uint32_t query, int32_t& value) {
  char buffer[33] = {};
  uint32_t length = sizeof buffer;
  uint32_t index = 0;
  if (!entry_points_.HttpQueryInfo(remote_file_, query, buffer, &length, &index)) return false;
  if (!TryStrToInt(std::string(buffer, strnlen(buffer, sizeof buffer - 1)), value)) value = 0;
  return true;
}

int32_t TCustomNetInstallLocation::RemoteFileSize() {
  if (login_information_.Protocol() == ipFTP) {
    // What the server has ready, which may be less than the whole file.
    uint32_t available = 0;
    if (!entry_points_.InternetQueryDataAvailable(remote_file_, &available, 0, 0))
      RaiseNIL<ENIL_FailDataQuery>("Could not query file %s on server", {remote_file_name_});
    return static_cast<int32_t>(available);
  }
  int32_t size = 0;
  if (!QueryHttpNumber(kQueryContentLength, size) && wininet::LastErrorCode() != kErrorHeaderNotFound)
    RaiseNIL<ENIL_FailDataQuery>("Could not query file %s on server", {remote_file_name_});
  return size;
}

bool TCustomNetInstallLocation::HttpFileMissing(const char* first_block, uint32_t length) {
  int32_t status = 0;
  if (QueryHttpNumber(kQueryStatusCode, status) && status >= 400) return true;
  size_t text_length = strnlen(first_block, length < 30 ? length : 30);
  return UpperCase(std::string(first_block, text_length)).find("404") != std::string::npos;
}

uint32_t TCustomNetInstallLocation::ReadBlock(char* block, uint32_t size) {
  BlockRead read(entry_points_.InternetReadFile, remote_file_, size);
  auto deadline = std::chrono::steady_clock::now() + ReceiveTimeout();
  while (!read.Await(kServeMessagesEvery)) {
    wininet::PumpMessages();
    bool cancelled = DownloadAborted();
    if (cancelled || std::chrono::steady_clock::now() >= deadline) read_given_up_ = true;
    if (cancelled) return 0;
    if (read_given_up_) RaiseReadFailure(kErrorTimeout);
  }
  if (!read.Succeeded()) RaiseReadFailure(read.Error());
  std::memcpy(block, read.Block(), read.Read());
  return read.Read();
}

void TCustomNetInstallLocation::ReceiveFile() {
  int32_t size = RemoteFileSize();
  bool http = login_information_.Protocol() == ipHTTP;
  LocalFile local(local_path_, Name());
  std::vector<char> block(kBlockSize);
  uint32_t got = ReadBlock(block.data(), kBlockSize);
  if (http && !DownloadAborted() && HttpFileMissing(block.data(), got))
    RaiseNIL<ENIL_FileNotFound>("Could not find the file %s on the server", {remote_file_name_});
  int32_t total = 0;
  while (got > 0) {
    total += static_cast<int32_t>(got);
    int32_t bytes = static_cast<int32_t>(got);
    Fire(on_data_received_, this, remote_file_name_, bytes, total, size, block.data());
    Fire(download_progress_hook_, this, remote_file_name_, bytes, total, size, block.data());
    wininet::PumpMessages();
    if (DownloadAborted()) break;
    local.Write(block.data(), got);
    got = ReadBlock(block.data(), kBlockSize);
  }
  local.Close();
  if (DownloadAborted()) return;
  if (total == 0) RaiseNIL<ENIL_FileNotFound>("Could not find the file %s on the server", {remote_file_name_});
  // Fewer bytes than the server announced: the connection ended early.
  if (http && size > 0 && total < size) RaiseReadFailure(kErrorConnectionAborted);
}

// The global list and state.

void TCustomNetInstallLocationList::Add(TCustomNetInstallLocation* location) {
  if (!location) RaiseNIL<IENetList>("Cannot add a blank location to the global net location list");
  items_.push_back(location);
}

void TCustomNetInstallLocationList::Remove(TCustomNetInstallLocation* location) {
  std::erase(items_, location);
}

TCustomNetInstallLocationList* NetInstallLocationList() { return g_location_list; }

void InitializeNetInstallLocations() {
  if (!g_location_list) g_location_list = new TCustomNetInstallLocationList;
  g_download_aborted = false;
}

void FinalizeNetInstallLocations() {
  delete g_location_list;
  g_location_list = nullptr;
  g_current_location = nullptr;
  g_default_location = nullptr;
  if (g_response.library) wininet::CloseLibrary(g_response.library);
  g_response = {};
}

TCustomNetInstallLocation* CurrentLocation() { return g_current_location; }
TCustomNetInstallLocation* DefaultLocation() { return g_default_location; }
void SetDefaultLocation(TCustomNetInstallLocation* location) { g_default_location = location; }
bool DownloadAborted() { return g_download_aborted; }
void SetDownloadAborted(bool aborted) { g_download_aborted = aborted; }

std::string ToServerPath(const std::string& directory) {
  if (Trim(directory).empty()) return "/";
  std::string path = directory;
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string LastResponseText() {
  if (g_response.proc) {
    char buffer[kResponseBufferSize] = {};
    uint32_t error = 0;
    uint32_t length = kResponseBufferSize;
    if (g_response.proc(&error, buffer, &length)) return std::string(buffer, strnlen(buffer, length));
  }
  return "No server response";
}

std::string WinInetErrorName(uint32_t code) {
  static const char* const kInternetErrors[] = {
      "ERROR_INTERNET_OUT_OF_HANDLES", "ERROR_INTERNET_TIMEOUT", "ERROR_INTERNET_EXTENDED_ERROR",
      "ERROR_INTERNET_INTERNAL_ERROR", "ERROR_INTERNET_INVALID_URL", "ERROR_INTERNET_UNRECOGNIZED_SCHEME",
      "ERROR_INTERNET_NAME_NOT_RESOLVED", "ERROR_INTERNET_PROTOCOL_NOT_FOUND", "ERROR_INTERNET_INVALID_OPTION",
      "ERROR_INTERNET_BAD_OPTION_LENGTH", "ERROR_INTERNET_OPTION_NOT_SETTABLE", "ERROR_INTERNET_SHUTDOWN",
      "ERROR_INTERNET_INCORRECT_USER_NAME", "ERROR_INTERNET_INCORRECT_PASSWORD", "ERROR_INTERNET_LOGIN_FAILURE",
      "ERROR_INTERNET_INVALID_OPERATION", "ERROR_INTERNET_OPERATION_CANCELLED",
      "ERROR_INTERNET_INCORRECT_HANDLE_TYPE", "ERROR_INTERNET_INCORRECT_HANDLE_STATE",
      "ERROR_INTERNET_NOT_PROXY_REQUEST", "ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND",
      "ERROR_INTERNET_BAD_REGISTRY_PARAMETER", "ERROR_INTERNET_NO_DIRECT_ACCESS", "ERROR_INTERNET_NO_CONTEXT",
      "ERROR_INTERNET_NO_CALLBACK", "ERROR_INTERNET_REQUEST_PENDING", "ERROR_INTERNET_INCORRECT_FORMAT",
      "ERROR_INTERNET_ITEM_NOT_FOUND", "ERROR_INTERNET_CANNOT_CONNECT", "ERROR_INTERNET_CONNECTION_ABORTED",
      "ERROR_INTERNET_CONNECTION_RESET", "ERROR_INTERNET_FORCE_RETRY"};
  static const char* const kGopherErrors[] = {
      "ERROR_GOPHER_PROTOCOL_ERROR", "ERROR_GOPHER_NOT_FILE", "ERROR_GOPHER_DATA_ERROR",
      "ERROR_GOPHER_END_OF_DATA", "ERROR_GOPHER_INVALID_LOCATOR", "ERROR_GOPHER_INCORRECT_LOCATOR_TYPE",
      "ERROR_GOPHER_NOT_GOPHER_PLUS", "ERROR_GOPHER_ATTRIBUTE_NOT_FOUND", "ERROR_GOPHER_UNKNOWN_LOCATOR"};
  static const char* const kHttpErrors[] = {
      "ERROR_HTTP_HEADER_NOT_FOUND", "ERROR_HTTP_DOWNLEVEL_SERVER", "ERROR_HTTP_INVALID_SERVER_RESPONSE",
      "ERROR_HTTP_INVALID_HEADER", "ERROR_HTTP_INVALID_QUERY_REQUEST", "ERROR_HTTP_HEADER_ALREADY_EXISTS"};
  struct Range {
    uint32_t first;
    const char* const* names;
    size_t count;
  };
  static const Range kRanges[] = {{12001, kInternetErrors, std::size(kInternetErrors)},
                                  {12130, kGopherErrors, std::size(kGopherErrors)},
                                  {12150, kHttpErrors, std::size(kHttpErrors)}};
  switch (code) {
    case 6: return "ERROR_INVALID_HANDLE";
    case 12036: return "ERROR_INTERNET_HANDLE_EXISTS";
    case 12041: return "ERROR_INTERNET_MIXED_SECURITY";
    case 12110: return "ERROR_FTP_TRANSFER_IN_PROGRESS";
    case 12111: return "ERROR_FTP_DROPPED";
    default: break;
  }
  for (const Range& range : kRanges)
    if (code >= range.first && code - range.first < range.count) return range.names[code - range.first];
  return "Unregistered error code";
}

}  // namespace install
