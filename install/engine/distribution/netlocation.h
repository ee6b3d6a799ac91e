// Net install locations: a server (FTP or HTTP), a directory on it and a
// login, from which an installation downloads its archives one file at a
// time into local files, reporting every received block.
//
// The transfer goes through the system's internet library (WININET.DLL),
// loaded by name on the first download, so an installation that never
// downloads runs without it. Where the library is missing (and always in the
// native build, which has none) the first download raises
// ENIL_FailLoadWININET. The library, its session and the connection stay
// open for later downloads from the same location until it is destroyed.
//
// Failures raise the ENIL family; their message is "<text>. Error message
// <library error name>. Server <host>. Response from server <last response>".
//
// Process-wide: the list of every location, CurrentLocation (the one that
// connected last), DefaultLocation (the installer's own, set by the engine)
// and DownloadAborted (set by the copy-progress Cancel; a running download
// stops after the block it is on, or while it waits for the next one).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classes.h"
#include "controls.h"
#include "core/exceptions.h"

namespace install {

INSTALL_EXCEPTION(ENIL, Exception)
INSTALL_EXCEPTION(ENIL_OpenSession, ENIL)
INSTALL_EXCEPTION(ENIL_OpenService, ENIL)
INSTALL_EXCEPTION(ENIL_FailDataQuery, ENIL)
INSTALL_EXCEPTION(ENIL_ReadFile, ENIL)
INSTALL_EXCEPTION(ENIL_FileNotFound, ENIL)
INSTALL_EXCEPTION(ENIL_FTP, ENIL)
INSTALL_EXCEPTION(ENIL_FTPSetDir, ENIL_FTP)
INSTALL_EXCEPTION(ENIL_FTPOpenFile, ENIL_FTP)
INSTALL_EXCEPTION(ENIL_FTPCloseFile, ENIL_FTP)
INSTALL_EXCEPTION(ENIL_HTTP, ENIL)
INSTALL_EXCEPTION(ENIL_HTTPOpenFile, ENIL_HTTP)
INSTALL_EXCEPTION(ENIL_HTTPSendRequest, ENIL_HTTP)
INSTALL_EXCEPTION(IENetList, ENIL)
INSTALL_EXCEPTION(ENIL_WriteDestFile, Exception)
INSTALL_EXCEPTION(ENIL_FailLoadWININET, Exception)
INSTALL_EXCEPTION(ENIL_FailLoadDLLProc, Exception)

enum TInternetProtocol : uint8_t { ipFTP, ipHTTP };
extern const std::vector<std::string> kInternetProtocolNames;

class TCustomNetInstallLocation;

using TDataReceivedEvent = std::function<void(forms::TComponent* sender, const std::string& file_name, int32_t bytes,
                                              int32_t total_bytes, int32_t file_size, const char* buffer)>;
using TNotifyWithAbortFlag = std::function<void(forms::TComponent* sender, bool aborted)>;
using TLoginEvent = std::function<void(forms::TComponent* sender)>;

// Where a location connects and as whom.
class TCustomLoginInformation : public forms::TPersistent {
  FORMS_CLASS(TCustomLoginInformation)
public:
  explicit TCustomLoginInformation(TCustomNetInstallLocation* location = nullptr) : location_(location) {}
  // Copies the six settings; the location it belongs to stays.
  void Assign(const TCustomLoginInformation& source);
  // Anonymous: a host name is given; otherwise any of host name, password
  // and user name is (blanks do not count).
  bool IsValid() const;

  bool Anonymous() const { return anonymous_; }
  void SetAnonymous(bool v) { anonymous_ = v; }
  std::string Directory() const { return directory_; }
  void SetDirectory(const std::string& v) { directory_ = v; }
  std::string Hostname() const { return hostname_; }
  void SetHostname(const std::string& v) { hostname_ = v; }
  std::string Password() const { return password_; }
  void SetPassword(const std::string& v) { password_ = v; }
  TInternetProtocol Protocol() const { return protocol_; }
  void SetProtocol(TInternetProtocol v) { protocol_ = v; }
  std::string Username() const { return username_; }
  void SetUsername(const std::string& v) { username_ = v; }
  TCustomNetInstallLocation* Location() const { return location_; }

private:
  bool anonymous_ = true;
  std::string directory_;
  std::string hostname_;
  std::string password_;
  TInternetProtocol protocol_ = ipHTTP;
  std::string username_;
  TCustomNetInstallLocation* location_;
};

class TLoginInformation : public TCustomLoginInformation {
  FORMS_CLASS(TLoginInformation)
public:
  using TCustomLoginInformation::TCustomLoginInformation;
};

// The internet library's entry points, with the types of its C interface.
#ifdef _WIN32
#define NETLOCATION_WINAPI __stdcall
#else
#define NETLOCATION_WINAPI
#endif
namespace wininet {
using HINTERNET = void*;
using InternetGetLastResponseInfoProc = int(NETLOCATION_WINAPI*)(uint32_t* error, char* buffer, uint32_t* length);
using InternetOpenProc = HINTERNET(NETLOCATION_WINAPI*)(const char* agent, uint32_t access_type, const char* proxy,
                                                       const char* proxy_bypass, uint32_t flags);
using InternetConnectProc = HINTERNET(NETLOCATION_WINAPI*)(HINTERNET internet, const char* server, uint16_t port,
                                                          const char* user, const char* password, uint32_t service,
                                                          uint32_t flags, uintptr_t context);
using FtpSetCurrentDirectoryProc = int(NETLOCATION_WINAPI*)(HINTERNET connection, const char* directory);
using InternetCloseHandleProc = int(NETLOCATION_WINAPI*)(HINTERNET handle);
using InternetQueryDataAvailableProc = int(NETLOCATION_WINAPI*)(HINTERNET file, uint32_t* available, uint32_t flags,
                                                                uintptr_t context);
using InternetReadFileProc = int(NETLOCATION_WINAPI*)(HINTERNET file, void* buffer, uint32_t to_read,
                                                      uint32_t* read);
using FtpOpenFileProc = HINTERNET(NETLOCATION_WINAPI*)(HINTERNET connection, const char* file, uint32_t access,
                                                      uint32_t flags, uintptr_t context);
using HttpOpenRequestProc = HINTERNET(NETLOCATION_WINAPI*)(HINTERNET connection, const char* verb,
                                                          const char* object, const char* version,
                                                          const char* referrer, const char** accept_types,
                                                          uint32_t flags, uintptr_t context);
using HttpSendRequestProc = int(NETLOCATION_WINAPI*)(HINTERNET request, const char* headers,
                                                     uint32_t headers_length, void* optional,
                                                     uint32_t optional_length);
using HttpQueryInfoProc = int(NETLOCATION_WINAPI*)(HINTERNET request, uint32_t info_level, void* buffer,
                                                   uint32_t* buffer_length, uint32_t* index);

// The location's own entry points, in the order they are looked up after
// InternetGetLastResponseInfoA (which is held once for the whole program).
struct EntryPoints {
  InternetOpenProc InternetOpen = nullptr;
  InternetConnectProc InternetConnect = nullptr;
  FtpSetCurrentDirectoryProc FtpSetCurrentDirectory = nullptr;
  InternetCloseHandleProc InternetCloseHandle = nullptr;
  InternetQueryDataAvailableProc InternetQueryDataAvailable = nullptr;
  InternetReadFileProc InternetReadFile = nullptr;
  FtpOpenFileProc FtpOpenFile = nullptr;
  HttpOpenRequestProc HttpOpenRequest = nullptr;
  HttpSendRequestProc HttpSendRequest = nullptr;
  HttpQueryInfoProc HttpQueryInfo = nullptr;
};
}  // namespace wininet

class TCustomNetInstallLocation : public forms::TComponent {
  FORMS_CLASS(TCustomNetInstallLocation)
public:
  TCustomNetInstallLocation() : login_information_(this) {}
  // Joins the global list.
  void Create(forms::TComponent* owner) override;
  // Stops being current, disconnects, frees the library, stops being the
  // default location and leaves the global list.
  void Destroy() override;

  // Loads the library and its entry points.
  virtual void LoadInternetLibrary();
  virtual void SetLoginInformation(const TLoginInformation& value);
  // Makes sure of library, session, connection and (FTP) directory; this
  // location becomes the current one.
  virtual void Connect();
  // Connects, then fetches remote_name from the location's directory into
  // local_path (replacing it). A download cancelled through DownloadAborted
  // is no failure: the local file keeps the blocks written before it, and
  // OnAfterDownload hears Aborted = true. A transfer that ends before the
  // whole file is there (over HTTP fewer bytes than the server announced,
  // over FTP a transfer the server does not answer as complete) raises
  // ENIL_ReadFile, and so does a server that stops sending for longer than
  // the receive time-out (ReadBlock).
  virtual void Download(const std::string& remote_name, const std::string& local_path);
  // Closes the connection, then the session; a handle whose close fails is
  // kept.
  void Disconnect();

  TLoginInformation& LoginInformation() { return login_information_; }
  const TLoginInformation& LoginInformation() const { return login_information_; }
  bool LibraryLoaded() const { return library_loaded_; }
  bool Connected() const { return connection_ != nullptr; }

  void SetOnAfterDownload(TNotifyWithAbortFlag h) { on_after_download_ = std::move(h); }
  void SetOnAfterLogin(TLoginEvent h) { on_after_login_ = std::move(h); }
  void SetOnBeforeLogin(TLoginEvent h) { on_before_login_ = std::move(h); }
  void SetOnBeforeDownload(forms::TNotifyEvent h) { on_before_download_ = std::move(h); }
  void SetOnDataReceived(TDataReceivedEvent h) { on_data_received_ = std::move(h); }
  // A second progress handler, called after OnDataReceived for each block,
  // on behalf of the object that runs the download; that object sets it
  // around one download and clears it afterwards.
  void SetDownloadProgressHook(forms::TComponent* object, TDataReceivedEvent hook);
  void ClearDownloadProgressHook() { SetDownloadProgressHook(nullptr, nullptr); }
  forms::TComponent* DownloadProgressObject() const { return download_progress_object_; }

protected:
  wininet::EntryPoints entry_points_;
  void* library_ = nullptr;

private:
  void OpenRemoteFile();
  // Closes the remote file; raises ENIL_FTPCloseFile when that fails.
  void CloseRemoteFile();
  void ReceiveFile();
  int32_t RemoteFileSize();
  // A numeric response header of the running HTTP request as the server
  // sent it; 0 when it does not read as a number.
  bool QueryHttpNumber(uint32_t query, int32_t& value);
  // Whether the HTTP answer says the file is not there: an error status, or
  // a first block whose opening text holds "404".
  bool HttpFileMissing(const char* first_block, uint32_t length);
  // One block of at most size bytes, 0 at the end of the file. While it
  // is on its way the message queue is served; a Cancel then ends the wait
  // with 0. Raises ENIL_ReadFile for a failed read, and for a block that
  // takes longer than the system's receive time-out (the value
  // "ReceiveTimeout", milliseconds, of the key HKEY_CURRENT_USER
  // "\Software\Microsoft\Windows\CurrentVersion\Internet Settings"; a
  // minute without it).
  uint32_t ReadBlock(char* block, uint32_t size);
  // A read given up on (cancelled or timed out) still holds the connection:
  // it is closed, so that the next download connects anew.
  void DropConnectionOfAReadGivenUp();
  // Raises ENIL_ReadFile for the remote file, with error as the internet
  // library's last error (the reason the message names).
  [[noreturn]] void RaiseReadFailure(uint32_t error);
  void FreeInternetLibrary();

  bool library_loaded_ = false;
  std::string local_path_;
  wininet::HINTERNET remote_file_ = nullptr;
  wininet::HINTERNET internet_ = nullptr;
  wininet::HINTERNET connection_ = nullptr;
  // Whether the connection stands in the location's FTP directory.
  bool in_ftp_directory_ = false;
  // Whether the running download gave up waiting for a block.
  bool read_given_up_ = false;
  std::string remote_file_name_;
  TLoginInformation login_information_;
  TNotifyWithAbortFlag on_after_download_;
  TLoginEvent on_after_login_;
  TLoginEvent on_before_login_;
  forms::TNotifyEvent on_before_download_;
  TDataReceivedEvent on_data_received_;
  forms::TComponent* download_progress_object_ = nullptr;
  TDataReceivedEvent download_progress_hook_;
};

class TNetInstallLocation : public TCustomNetInstallLocation {
  FORMS_CLASS(TNetInstallLocation)
};

// Every location of the program, in the order they were made.
class TCustomNetInstallLocationList {
public:
  // Raises IENetList for nil.
  void Add(TCustomNetInstallLocation* location);
  void Remove(TCustomNetInstallLocation* location);
  const std::vector<TCustomNetInstallLocation*>& Items() const { return items_; }

private:
  std::vector<TCustomNetInstallLocation*> items_;
};

// The list exists between the installer's start-up and its end.
TCustomNetInstallLocationList* NetInstallLocationList();
void InitializeNetInstallLocations();
// Frees the list and lets go of the library's response entry point.
void FinalizeNetInstallLocations();

TCustomNetInstallLocation* CurrentLocation();
TCustomNetInstallLocation* DefaultLocation();
void SetDefaultLocation(TCustomNetInstallLocation* location);
bool DownloadAborted();
void SetDownloadAborted(bool aborted);

// "/" for a blank directory, else the directory with every '\' made '/'.
std::string ToServerPath(const std::string& directory);
// The library's name of an error code, "Unregistered error code" for one it
// does not know.
std::string WinInetErrorName(uint32_t code);
// The server's last response through the library, "No server response"
// when the library is not loaded or has none.
std::string LastResponseText();

}  // namespace install
