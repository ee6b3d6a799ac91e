// Net distributions in the engine: the distribution type and the locations
// as the stored script sets them, which containers need a download, and an
// object's download of its archive into a temporary file of the run. The
// downloads here come from a location of the test's own that copies files
// from a folder; the real servers are in netlocation_servers_test.cpp and
// in the program tests (program/tests/net_distribution_test.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "archive/tests/archive_fixture.h"
#include "core/exceptions.h"
#include "distribution/distribution.h"
#include "distribution/downloads.h"
#include "distribution/netlocation.h"
#include "items/installfile.h"
#include "paths/osroutines.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

// A location whose server is a folder: a download copies the file of that
// name from it, reporting it as one block to the object that downloads, or
// plays what the test asks for instead.
class TFolderLocation : public TNetInstallLocation {
  FORMS_CLASS(TFolderLocation)
public:
  void Download(const std::string& remote_name, const std::string& local_path) override {
    requested.push_back(remote_name);
    written.push_back(local_path);
    downloader = DownloadProgressObject();
    if (instead) return instead(local_path);
    std::string data = fixture::ReadFile(folder + "/" + remote_name);
    fixture::WriteFile(local_path, data);
  }
  std::string folder;
  std::vector<std::string> requested;
  std::vector<std::string> written;  // the local files, in order
  TComponent* downloader = nullptr;
  std::function<void(const std::string& local_path)> instead;
};

const ClassInfo& TFolderLocation::StaticClass() {
  static const ClassInfo info{"TFolderLocation", &TNetInstallLocation::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TFolderLocation>(owner); }};
  return info;
}

// The script's stream of the engine with the given properties, beside two
// locations (Site, the installer's, and Mirror).
std::string ScriptWithLocations(const std::string& install_properties, const std::string& more = "") {
  return R"(
TInstallMainForm F {
  TNetInstallLocation Site {
    LoginInformation.Hostname = "files.example.com"
    LoginInformation.Directory = "setup"
  }
  TNetInstallLocation Mirror {
    LoginInformation.Hostname = "mirror.example.com"
    LoginInformation.Protocol = ipFTP
  }
  TInstall Install1 {
    RunAutomatic = False
    )" + install_properties + R"(
  }
)" + more + "}";
}

class NetDistribution : public EngineTest {
protected:
  void TearDown() override {
    SetDownloadAborted(false);
    RemoveDownloadFiles();
    EngineTest::TearDown();
  }
  TCustomInstall* Load(const std::string& install_properties, const std::string& more = "") {
    form_ = LoadMainForm({}, ScriptWithLocations(install_properties, more));
    return TCustomInstall::Instance();
  }
  TComponent* Find(const std::string& name) const { return form_->FindComponent(name); }
  // The message of the IException that loading the script raises.
  std::string LoadFailure(const std::string& install_properties) {
    try {
      Load(install_properties);
    } catch (const IException& error) {
      return error.Message();
    }
    return "";
  }

  TInstallMainForm* form_ = nullptr;
};

TEST_F(NetDistribution, TheScriptSetsTheTypeAndTheLocations) {
  TCustomInstall* install = Load("DistributeType = dtTraditionalNet\n    NetLocation = Site", R"(
  TInstallDirectory idDocs {
    Container = Install1
    NetLocation = Mirror
  }
  TInstallFile IFguide {
    Container = idDocs
    Net = True
  }
  TInstallFile IFreadme {
    Container = Install1
    NetLocation = Mirror
  }
  TInstallFile IFtool {
    Container = Install1
  }
)");
  auto* site = dynamic_cast<TNetInstallLocation*>(Find("Site"));
  auto* mirror = dynamic_cast<TNetInstallLocation*>(Find("Mirror"));
  EXPECT_EQ(install->DistributeType(), dtTraditionalNet);
  EXPECT_EQ(InstallDistributeType(), dtTraditionalNet);
  EXPECT_EQ(install->NetLocation(), site);
  EXPECT_EQ(DefaultLocation(), site);
  // Each object's location: its own, else its container's, else the
  // installer's.
  auto* docs = dynamic_cast<TFileRelated*>(Find("idDocs"));
  EXPECT_EQ(docs->NetLocation(), mirror);
  EXPECT_EQ(docs->EffectiveNetLocation(), mirror);
  EXPECT_EQ(dynamic_cast<TFileRelated*>(Find("IFguide"))->EffectiveNetLocation(), mirror);
  EXPECT_EQ(dynamic_cast<TFileRelated*>(Find("IFreadme"))->EffectiveNetLocation(), mirror);
  EXPECT_EQ(dynamic_cast<TFileRelated*>(Find("IFtool"))->EffectiveNetLocation(), site);
  EXPECT_EQ(docs->RemoteRoot(), std::string("mirror.example.com") + kPathDelimiter + "FTP Root directory");
  EXPECT_EQ(dynamic_cast<TFileRelated*>(Find("IFtool"))->RemoteRoot(),
            std::string("files.example.com") + kPathDelimiter + "setup");
  // A file with a location of its own comes in an archive of its own.
  EXPECT_TRUE(dynamic_cast<TCustomInstallFile*>(Find("IFreadme"))->HasOwnArchive());
  EXPECT_FALSE(dynamic_cast<TCustomInstallFile*>(Find("IFtool"))->HasOwnArchive());
}

TEST_F(NetDistribution, TheTypeIsTheScriptsAndANetTypeNeedsALocation) {
  EXPECT_EQ(LoadFailure("DistributeType = dtWeb"),
            "Must assign a net location via the NetLocation property before you can set the distribute type");

  TCustomInstall* install = Load("DistributeType = dtWeb\n    NetLocation = Site");
  EXPECT_EQ(install->DistributeType(), dtWeb);
  try {
    install->SetDistributeType(dtTraditional);
    FAIL() << "the type was set while the installer runs";
  } catch (const IEInstall& error) {
    EXPECT_EQ(error.Message(), "DistributeType can only be set at design-time");
  }
  EXPECT_EQ(install->DistributeType(), dtWeb);
}

TEST_F(NetDistribution, WithoutItsLocationTheDistributionIsTraditional) {
  TCustomInstall* install = Load("DistributeType = dtTraditionalNet\n    NetLocation = Site", R"(
  TInstallFile IFreadme {
    Container = Install1
    NetLocation = Mirror
  }
)");
  auto* readme = dynamic_cast<TCustomInstallFile*>(Find("IFreadme"));
  Free(Find("Mirror"));
  EXPECT_EQ(readme->NetLocation(), nullptr);
  EXPECT_EQ(install->DistributeType(), dtTraditionalNet);
  Free(Find("Site"));
  EXPECT_EQ(install->NetLocation(), nullptr);
  EXPECT_EQ(DefaultLocation(), nullptr);
  EXPECT_EQ(install->DistributeType(), dtTraditional);

  auto* other = New<TNetInstallLocation>(owner_);
  install->SetNetLocation(other);
  EXPECT_EQ(DefaultLocation(), other);
  install->SetNetLocation(nullptr);
  EXPECT_EQ(DefaultLocation(), nullptr);
}

// A container downloads its archive for the Net files that come in it: those
// included and without a location of their own.
TEST_F(NetDistribution, AContainerNeedsADownloadForItsIncludedNetFiles) {
  struct Case {
    const char* what;
    std::string type;
    std::string file;
    bool needs;
  } cases[] = {
      {"a traditional distribution", "dtTraditional", "Net = True", false},
      {"a Net file", "dtTraditionalNet", "Net = True", true},
      {"a web distribution's Net file", "dtWeb", "Net = True", true},
      {"a local file", "dtTraditionalNet", "Net = False", false},
      {"an excluded Net file", "dtTraditionalNet", "Net = True\n    Include = False", false},
      {"a Net file with a location of its own", "dtTraditionalNet", "Net = True\n    NetLocation = Mirror", false},
  };
  for (const Case& c : cases) {
    std::string location = c.type == "dtTraditional" ? "" : "\n    NetLocation = Site";
    TCustomInstall* install = Load("DistributeType = " + c.type + location, R"(
  TInstallDirectory idDocs {
    Container = Install1
  }
  TInstallFile IFguide {
    Container = idDocs
    )" + c.file + R"(
  }
)");
    EXPECT_EQ(dynamic_cast<TFileContainer*>(Find("idDocs"))->NeedsDownload(), c.needs) << c.what;
    EXPECT_FALSE(install->NeedsDownload()) << c.what;
    Free(form_);
  }
}

// An object's download: its archive <Name>.1 from its location into a
// temporary file of the run, whose name the system reserved.
class ArchiveDownload : public NetDistribution {
protected:
  void SetUp() override {
    NetDistribution::SetUp();
    RegisterStreamClass(TFolderLocation::StaticClass());
    server_ = temp_ / "server";
    std::filesystem::create_directories(server_);
    install_ = Load("DistributeType = dtTraditionalNet\n    NetLocation = Site", R"(
  TFolderLocation Folder {
    LoginInformation.Hostname = "127.0.0.1"
  }
  TInstallDirectory idDocs {
    Container = Install1
    NetLocation = Folder
  }
)");
    folder_ = dynamic_cast<TFolderLocation*>(Find("Folder"));
    folder_->folder = server_.string();
    docs_ = dynamic_cast<TFileContainer*>(Find("idDocs"));
  }
  // Whether the download file at path, or the name it reserved, is there.
  static bool Left(const std::string& path) {
    std::filesystem::path reserved = path;
    reserved.replace_extension(".tmp");
    return std::filesystem::exists(path) || std::filesystem::exists(reserved);
  }
  // The message of the exception of class E that the download raises.
  template <class E>
  std::string DownloadFailure(TFileRelated* object) {
    try {
      object->DownloadArchive();
    } catch (const E& error) {
      return error.what();
    }
    return "";
  }

  fixture::TempDir temp_;
  std::filesystem::path server_;
  TCustomInstall* install_ = nullptr;
  TFolderLocation* folder_ = nullptr;
  TFileContainer* docs_ = nullptr;
};

TEST_F(ArchiveDownload, TheArchiveComesIntoATemporaryFileOfTheRun) {
  fixture::WriteFile(server_ / "idDocs.1", "the archive of the documents");

  docs_->DownloadArchive();

  EXPECT_EQ(folder_->requested, std::vector<std::string>{"idDocs.1"});
  EXPECT_EQ(folder_->downloader, docs_) << "the download reports to the object that downloads";
  EXPECT_EQ(folder_->DownloadProgressObject(), nullptr);
  std::filesystem::path local = docs_->LocalArchivePath();
  EXPECT_EQ(local.string(), folder_->written.at(0));
  EXPECT_EQ(local.extension(), ".1");
  EXPECT_EQ(local.filename().string().rfind("bat", 0), 0u);
  EXPECT_EQ(local.parent_path(), std::filesystem::path(GetTempBatchFileName(false)).parent_path());
  EXPECT_EQ(fixture::ReadFile(local), "the archive of the documents");
  EXPECT_TRUE(docs_->IsArchiveLocal());
  EXPECT_EQ(docs_->GetDownloadedArchivePath(), local.string());
  // The name stays reserved as long as the download lives.
  std::filesystem::path reserved = local;
  reserved.replace_extension(".tmp");
  EXPECT_TRUE(std::filesystem::exists(reserved));

  RemoveDownloadFiles();
  EXPECT_FALSE(Left(local.string()));
}

// A download that fails, or that the user cancels, leaves nothing that
// could be taken for the archive: no file and no local archive.
TEST_F(ArchiveDownload, APartialDownloadIsNeverTakenForTheArchive) {
  folder_->instead = [](const std::string& local_path) {
    fixture::WriteFile(local_path, "the first half");
    throw ENIL_ReadFile("Could not read from file idDocs.1 on the server");
  };
  EXPECT_EQ(DownloadFailure<ENIL_ReadFile>(docs_), "Could not read from file idDocs.1 on the server");
  EXPECT_EQ(docs_->LocalArchivePath(), "");
  EXPECT_FALSE(docs_->IsArchiveLocal());
  EXPECT_EQ(folder_->DownloadProgressObject(), nullptr);

  folder_->instead = [](const std::string& local_path) {
    fixture::WriteFile(local_path, "the first block");
    SetDownloadAborted(true);
  };
  EXPECT_EQ(DownloadFailure<EAIUserAbort>(docs_), "Installation aborted by the user");
  EXPECT_EQ(docs_->LocalArchivePath(), "");
  ASSERT_EQ(folder_->written.size(), 2u);
  for (const std::string& written : folder_->written) EXPECT_FALSE(Left(written)) << written;
}

TEST_F(ArchiveDownload, WithoutAUsableLocationNothingIsDownloaded) {
  auto* file = New<TInstallFile>(owner_);
  file->SetName("IFloose");
  auto* group_file = New<TInstallFile>(owner_);
  group_file->SetName("IFelsewhere");
  group_file->SetContainer(docs_);
  SetDefaultLocation(nullptr);
  EXPECT_EQ(DownloadFailure<Exception>(file), "Could not find a net install location for IFloose");

  folder_->LoginInformation().SetHostname(" ");
  EXPECT_EQ(DownloadFailure<IEFileRelated>(docs_),
            "idDocs could not install itself because the TNetLocation component's properties, in the NetLocation "
            "property, have not been filled in");
  EXPECT_EQ(DownloadFailure<IEFileRelated>(group_file),
            "IFelsewhere could not install itself because the LoginInformation property of the TInstall component "
            "has not been properly filled in");
  EXPECT_TRUE(folder_->requested.empty());
}

// The net file list: each record's file takes size, date and version; a
// cancelled download of the list applies nothing.
TEST_F(ArchiveDownload, TheFileListComesFromTheInstallersLocation) {
  auto* tool = New<TInstallFile>(owner_);
  tool->SetName("IFtool");
  SaveNetFileList((server_ / "filelist.lst").string(), {{4096, 38000.5, "IFtool", "2.0.1"}});
  SetDefaultLocation(folder_);

  folder_->instead = [](const std::string& local_path) {
    fixture::WriteFile(local_path, "\x01");
    SetDownloadAborted(true);
  };
  EXPECT_THROW(FetchNetFileList(), EAIUserAbort);
  EXPECT_EQ(tool->Size(), 0);

  SetDownloadAborted(false);
  folder_->instead = nullptr;
  FetchNetFileList();
  EXPECT_EQ(folder_->requested, (std::vector<std::string>{"filelist.lst", "filelist.lst"}));
  EXPECT_EQ(tool->Size(), 4096);
  EXPECT_EQ(tool->Date(), 38000.5);
  EXPECT_EQ(tool->Version(), "2.0.1");
}

}  // namespace
}  // namespace install_test
