// The archive component and the version resource as script components:
// registered when the units start, loaded from a stored script with their
// values, defaults and event bindings, and written back without defaults.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "application.h"
#include "archive/qndr_compress.h"
#include "archive/tests/archive_fixture.h"
#include "archive/version_resource.h"
#include "core/exceptions.h"
#include "core/units.h"
#include "stream.h"

using namespace install;

namespace {

// A script's root with the methods the archive's events are bound to.
class TArchiveForm : public forms::TComponent {
  FORMS_CLASS(TArchiveForm)
 public:
  void ArchiveStatus(TQndrCompress *sender, const TlzhFileStats &stats) {
    if (stats.Finished) finished.push_back(sender->Name() + " " + stats.FileName);
  }
  void ArchiveNewDisk(TQndrCompress *, int32_t disk, std::string &) { disks.push_back(disk); }
  void ArchiveAborted(forms::TComponent *sender) { aborted.push_back(sender->Name()); }

  std::vector<std::string> finished;
  std::vector<int32_t> disks;
  std::vector<std::string> aborted;
};

const forms::ClassInfo &TArchiveForm::StaticClass() {
  using F = TArchiveForm;
  using forms::PublishedMethod;
  static const forms::ClassInfo info{
      "TArchiveForm",
      &forms::TComponent::StaticClass(),
      nullptr,
      {},
      {PublishedMethod<F, void(TQndrCompress *, const TlzhFileStats &)>("ArchiveStatus",
                                                                          &F::ArchiveStatus),
       PublishedMethod<F, void(TQndrCompress *, int32_t, std::string &)>("ArchiveNewDisk",
                                                                          &F::ArchiveNewDisk),
       PublishedMethod<F, void(forms::TComponent *)>("ArchiveAborted", &F::ArchiveAborted)}};
  return info;
}

class ArchiveComponent : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeInstallUnits();
    forms::InitializeApplication();
    form = forms::New<TArchiveForm>(nullptr);
  }
  void TearDown() override {
    forms::Free(form);
    forms::FinalizeApplication();
    FinalizeInstallUnits();
  }
  template <class T>
  T &Find(const std::string &name) {
    auto *found = dynamic_cast<T *>(form->FindComponent(name));
    EXPECT_NE(found, nullptr) << name;
    return *found;
  }

  fixture::TempDir dir;
  TArchiveForm *form = nullptr;
};

std::string Quoted(const std::string &text) {
  std::string out = "\"";
  for (char c : text) out += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
  return out + "\"";
}

TEST_F(ArchiveComponent, UnitsRegisterTheClassesAndMakeTheSharedArchive) {
  EXPECT_NE(forms::FindClass("TQndrCompress"), nullptr);
  EXPECT_NE(forms::FindClass("TVersionResource"), nullptr);
  ASSERT_NE(SharedArchive(), nullptr);
  EXPECT_EQ(SharedArchive()->CompressionLevel(), colMax);
}

TEST_F(ArchiveComponent, AStoredScriptSetsValuesDefaultsAndEvents) {
  std::string a = dir / "a.txt", b = dir / "b.txt";
  fixture::WriteFile(a, fixture::TextData(30000));
  fixture::WriteFile(b, "short");
  forms::ReadComponent(*form, R"(
TArchiveForm ArchiveForm {
  TQndrCompress Archive1 {
    CompressedFile = )" + Quoted(dir / "files.1") + R"(
    CompressionLevel = colFastest
    ExtractDirectory = )" + Quoted(dir / "out") + R"(
    FilesToProcess = ()" + Quoted(a) + R"(, "  ", )" + Quoted(b) + R"()
    Overwrite = owNever
    OnStatus = ArchiveStatus
    OnNewDisk = ArchiveNewDisk
    OnAborted = ArchiveAborted
  }
  TQndrCompress Archive2 {
    Offset = 12
  }
  TVersionResource Version1 {
    Language = lnGerman
    CharacterSet = csUnicode
  }
}
)");
  auto &archive = Find<TQndrCompress>("Archive1");
  EXPECT_EQ(archive.CompressionLevel(), colFastest);
  EXPECT_EQ(archive.Overwrite(), owNever);
  EXPECT_EQ(archive.Offset(), 0);
  EXPECT_FALSE(archive.Abort());
  EXPECT_EQ(archive.FilesToProcess(), (forms::TStringList{a, b})) << "blank lines are dropped";
  auto &other = Find<TQndrCompress>("Archive2");
  EXPECT_EQ(other.Offset(), 12);
  EXPECT_EQ(other.CompressionLevel(), colMax);
  EXPECT_EQ(other.Overwrite(), owAlways);
  auto &version = Find<TVersionResource>("Version1");
  EXPECT_EQ(version.Language(), TVersionResource::lnGerman);
  EXPECT_EQ(version.CharacterSet(), csUnicode);
  EXPECT_EQ(version.LanguageID(), 1031);
  EXPECT_EQ(version.FileName(), RunningProgramPath());

  // The bound methods hear the component's events.
  archive.Compress(lzcOverwrite, 7);
  EXPECT_EQ(form->finished, (std::vector<std::string>{"Archive1 " + a, "Archive1 " + b}));
  archive.SetAbort(true);
  archive.SetFilesToProcess(forms::TStringList{a});
  EXPECT_THROW(archive.Extract(), EqcAborted);
  EXPECT_EQ(form->aborted, std::vector<std::string>{"Archive1"});
}

TEST_F(ArchiveComponent, TheWriterLeavesDefaultsOutAndReadsBackTheSame) {
  form->SetName("ArchiveForm");
  auto *archive = forms::New<TQndrCompress>(form);
  archive->SetName("Archive1");
  archive->SetCompressedFile("C:\\Setup\\files.1");
  archive->SetOverwrite(owVersionDate);
  archive->SetFilesToProcess(forms::TStringList{"a.txt;1", "b.txt"});
  auto *plain = forms::New<TQndrCompress>(form);
  plain->SetName("Archive2");
  auto *version = forms::New<TVersionResource>(form);
  version->SetName("Version1");
  version->SetCharacterSet(csJapan);
  auto *other = forms::New<TVersionResource>(form);
  other->SetName("Version2");
  other->SetFileName(dir / "other.dll");

  std::string text = forms::WriteComponent(*form);
  EXPECT_NE(text.find("Overwrite = owVersionDate"), std::string::npos) << text;
  EXPECT_NE(text.find("CharacterSet = csJapan"), std::string::npos) << text;
  for (const char *left_out : {"CompressionLevel", "Offset", "owAlways", "Language", "VersionInfo",
                               "ExtractDirectory"})
    EXPECT_EQ(text.find(left_out), std::string::npos) << left_out << " in\n" << text;
  // Only a file other than the program itself is kept.
  EXPECT_EQ(text.find("FileName"), text.rfind("FileName")) << text;
  EXPECT_NE(text.find("other.dll"), std::string::npos) << text;

  auto *again = forms::New<TArchiveForm>(nullptr);
  forms::ReadComponent(*again, text);
  auto *read = dynamic_cast<TQndrCompress *>(again->FindComponent("Archive1"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->CompressedFile(), "C:\\Setup\\files.1");
  EXPECT_EQ(read->Overwrite(), owVersionDate);
  EXPECT_EQ(read->FilesToProcess(), archive->FilesToProcess());
  auto *readVersion = dynamic_cast<TVersionResource *>(again->FindComponent("Version2"));
  ASSERT_NE(readVersion, nullptr);
  EXPECT_EQ(readVersion->FileName(), other->FileName());
  EXPECT_EQ(forms::WriteComponent(*again), text);
  forms::Free(again);
}

TEST_F(ArchiveComponent, TheUnitsEndFreesTheSharedInstances) {
  FinalizeInstallUnits();
  EXPECT_EQ(SharedArchive(), nullptr);
  EXPECT_EQ(forms::FindClass("TQndrCompress"), nullptr);
  InitializeInstallUnits();  // for TearDown
}

#ifdef _WIN32
// Between blocks an archive operation runs the application's message loop,
// so that the progress window repaints and its Cancel is heard.
TEST_F(ArchiveComponent, OperationsProcessTheApplicationsMessages) {
  std::string a = dir / "a.txt";
  fixture::WriteFile(a, "data");
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread gets its queue
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 7, 0, 0));
  TQndrCompress &archive = *SharedArchive();
  archive.SetCompressedFile(dir / "files.1");
  archive.SetFilesToProcess(forms::TStringList{a});
  archive.Compress(lzcOverwrite, 0);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_USER + 7, WM_USER + 7, PM_NOREMOVE));
}
#endif

}  // namespace
