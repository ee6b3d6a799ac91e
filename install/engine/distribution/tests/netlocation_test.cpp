// Net install locations without a server: login rules, server paths, the
// error names, the global list and the process-wide locations, a location
// stored in a script, and a system without the internet library (the
// native build always; under Wine in its own ctest entry, with WinInet
// disabled).
#include "distribution/netlocation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct LoginCase {
  bool anonymous;
  const char* hostname;
  const char* username;
  const char* password;
  bool valid;
};

TEST(LoginInformation, IsValidByTheLoginKind) {
  const LoginCase cases[] = {
      {true, "ftp.example.com", "", "", true},   {true, "  ", "user", "secret", false},
      {true, "", "", "", false},                  {false, "", "", "secret", true},
      {false, "", "user", "", true},              {false, "host", "", "", true},
      {false, " ", " ", "\t", false},
  };
  for (const LoginCase& c : cases) {
    TLoginInformation login;
    login.SetAnonymous(c.anonymous);
    login.SetHostname(c.hostname);
    login.SetUsername(c.username);
    login.SetPassword(c.password);
    EXPECT_EQ(login.IsValid(), c.valid) << c.anonymous << " '" << c.hostname << "' '" << c.username << "' '"
                                        << c.password << "'";
  }
}

TEST(NetLocationPaths, ServerPathsUseSlashesAndTheRootForABlankDirectory) {
  EXPECT_EQ(ToServerPath(""), "/");
  EXPECT_EQ(ToServerPath("  \t"), "/");
  EXPECT_EQ(ToServerPath("setup\\files"), "setup/files");
  EXPECT_EQ(ToServerPath("\\pub\\setup\\"), "/pub/setup/");
  EXPECT_EQ(ToServerPath(" a dir "), " a dir ");
}

TEST(NetLocationErrors, TheLibraryErrorNamesByCode) {
  const std::pair<uint32_t, const char*> cases[] = {
      {6, "ERROR_INVALID_HANDLE"},
      {12001, "ERROR_INTERNET_OUT_OF_HANDLES"},
      {12007, "ERROR_INTERNET_NAME_NOT_RESOLVED"},
      {12015, "ERROR_INTERNET_LOGIN_FAILURE"},
      {12029, "ERROR_INTERNET_CANNOT_CONNECT"},
      {12032, "ERROR_INTERNET_FORCE_RETRY"},
      {12033, "Unregistered error code"},
      {12036, "ERROR_INTERNET_HANDLE_EXISTS"},
      {12041, "ERROR_INTERNET_MIXED_SECURITY"},
      {12110, "ERROR_FTP_TRANSFER_IN_PROGRESS"},
      {12111, "ERROR_FTP_DROPPED"},
      {12130, "ERROR_GOPHER_PROTOCOL_ERROR"},
      {12138, "ERROR_GOPHER_UNKNOWN_LOCATOR"},
      {12139, "Unregistered error code"},
      {12150, "ERROR_HTTP_HEADER_NOT_FOUND"},
      {12155, "ERROR_HTTP_HEADER_ALREADY_EXISTS"},
      {12156, "Unregistered error code"},
      {0, "Unregistered error code"},
      {12000, "Unregistered error code"},
  };
  for (const auto& [code, name] : cases) EXPECT_EQ(WinInetErrorName(code), name) << code;
}

class NetLocation : public EngineTest {
protected:
  void TearDown() override {
    SetDownloadAborted(false);
    EngineTest::TearDown();
  }
  TNetInstallLocation* NewLocation(const std::string& name) {
    auto* location = New<TNetInstallLocation>(owner_);
    location->SetName(name);
    return location;
  }
};

TEST_F(NetLocation, EveryLocationIsListedWhileItExists) {
  TNetInstallLocation* first = NewLocation("First");
  TNetInstallLocation* second = NewLocation("Second");
  EXPECT_EQ(NetInstallLocationList()->Items(), (std::vector<TCustomNetInstallLocation*>{first, second}));
  Free(first);
  EXPECT_EQ(NetInstallLocationList()->Items(), (std::vector<TCustomNetInstallLocation*>{second}));
}

TEST_F(NetLocation, ABlankLocationIsRefusedWithTheNetMessageFormat) {
  try {
    NetInstallLocationList()->Add(nullptr);
    FAIL() << "a blank location was listed";
  } catch (const IENetList& error) {
    EXPECT_THAT(error.Message(), StartsWith("Cannot add a blank location to the global net location list. Error "
                                            "message "));
    // No location has connected and no library answers.
    EXPECT_THAT(error.Message(), EndsWith(". Server . Response from server No server response"));
  }
  EXPECT_TRUE(NetInstallLocationList()->Items().empty());
}

TEST_F(NetLocation, SettingTheLoginCopiesTheSixSettings) {
  TLoginInformation source;
  source.SetAnonymous(false);
  source.SetDirectory("setup\\files");
  source.SetHostname("files.example.com");
  source.SetPassword("secret");
  source.SetProtocol(ipFTP);
  source.SetUsername("netuser");
  TNetInstallLocation* location = NewLocation("Site");
  location->SetLoginInformation(source);
  const TLoginInformation& target = location->LoginInformation();
  EXPECT_FALSE(target.Anonymous());
  EXPECT_EQ(target.Directory(), "setup\\files");
  EXPECT_EQ(target.Hostname(), "files.example.com");
  EXPECT_EQ(target.Password(), "secret");
  EXPECT_EQ(target.Protocol(), ipFTP);
  EXPECT_EQ(target.Username(), "netuser");
  EXPECT_EQ(target.Location(), location);
}

TEST_F(NetLocation, TheDefaultLocationIsForgottenWhenItGoes) {
  TNetInstallLocation* location = NewLocation("Site");
  SetDefaultLocation(location);
  EXPECT_EQ(DefaultLocation(), location);
  Free(location);
  EXPECT_EQ(DefaultLocation(), nullptr);
}

TEST_F(NetLocation, DownloadAbortedStartsFalse) { EXPECT_FALSE(DownloadAborted()); }

TEST_F(NetLocation, ALocationIsStoredInTheScript) {
  TInstallMainForm* form = LoadMainForm({}, R"(
TInstallMainForm InstallMainForm {
  TNetInstallLocation Site {
    LoginInformation.Anonymous = False
    LoginInformation.Directory = "setup\\files"
    LoginInformation.Hostname = "files.example.com"
    LoginInformation.Password = "secret"
    LoginInformation.Protocol = ipFTP
    LoginInformation.Username = "netuser"
  }
  TNetInstallLocation Mirror {
  }
}
)");
  auto* site = dynamic_cast<TNetInstallLocation*>(form->FindComponent("Site"));
  ASSERT_NE(site, nullptr);
  const TLoginInformation& login = site->LoginInformation();
  EXPECT_FALSE(login.Anonymous());
  EXPECT_EQ(login.Directory(), "setup\\files");
  EXPECT_EQ(login.Hostname(), "files.example.com");
  EXPECT_EQ(login.Password(), "secret");
  EXPECT_EQ(login.Protocol(), ipFTP);
  EXPECT_EQ(login.Username(), "netuser");
  EXPECT_EQ(login.Location(), site);
  auto* mirror = dynamic_cast<TNetInstallLocation*>(form->FindComponent("Mirror"));
  ASSERT_NE(mirror, nullptr);
  EXPECT_TRUE(mirror->LoginInformation().Anonymous());
  EXPECT_EQ(mirror->LoginInformation().Protocol(), ipHTTP);
  // Loading a script with locations needs no internet library.
  EXPECT_FALSE(site->LibraryLoaded());
}

// A system without the internet library: nothing needs it until the first
// download, which fails with the loading message.
TEST_F(NetLocation, WithoutTheLibraryTheFirstDownloadFails) {
#ifdef _WIN32
  if (!std::getenv("INSTALL_NO_WININET"))
    GTEST_SKIP() << "runs in the ctest entry install.netlocation.without_wininet, with WinInet disabled";
#endif
  TNetInstallLocation* location = NewLocation("Site");
  location->LoginInformation().SetHostname("127.0.0.1");
  bool logged_in = false;
  location->SetOnBeforeLogin([&](TComponent*) { logged_in = true; });
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      location->Download("files.1", "files.1");
      FAIL() << "downloaded without the library";
    } catch (const ENIL_FailLoadWININET& error) {
      EXPECT_EQ(error.Message(),
                "Failed to load the Wininet.dll. If this is a hybrid installation, you might want to include the "
                "WININET.DLL file in the PresetupFiles property of the TInstall component");
    }
  }
  EXPECT_FALSE(logged_in);
  EXPECT_FALSE(location->LibraryLoaded());
  EXPECT_EQ(CurrentLocation(), location);
  EXPECT_EQ(LastResponseText(), "No server response");
  Free(location);
  EXPECT_EQ(CurrentLocation(), nullptr);
}

}  // namespace
}  // namespace install_test
