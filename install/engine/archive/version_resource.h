// Version resources and the overwrite rule. TVersionResource reads a file's
// version information through a VersionReader (the system's version API in
// the Windows build); the decision routines compare a source with an
// existing target by TOverwriteType and answer 0 error, 1 same, 2 replace,
// 3 keep or 4 ask. They never raise.
#ifndef INSTALL_ARCHIVE_VERSION_RESOURCE_H
#define INSTALL_ARCHIVE_VERSION_RESOURCE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classes.h"

namespace install {

enum TOverwriteType { owAlways, owNever, owVersion, owDate, owVersionDate, owAsk };
extern const std::vector<std::string> kOverwriteTypeNames;

enum class TDecision : uint8_t { Error = 0, Same = 1, Replace = 2, Keep = 3, Ask = 4 };

enum TCharacterSet {
  csASCII, csJapan, csKorea, csTaiwan, csUnicode, csLatin2, csCyrillic, csMultilingual, csGreek,
  csTurkish, csHebrew, csArabic
};
extern const std::vector<std::string> kCharacterSetNames;

// The values read from one file's version information; empty when absent.
// They come from the file, never from a stored script.
class TVersionInfo : public forms::TPersistent {
  FORMS_CLASS(TVersionInfo)
 public:
  std::string Comment, CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,
      LegalTradeMarks, OriginalFileName;
  uint16_t PrimaryLanguage = 0;
  std::string PrivateBuild, ProductName, ProductVersion, SpecialBuild, FileOS, FileType,
      FileSubType;
};

// Access to a file's version-information block, as the system's version
// API gives it: Load reads the block of a file (false when it has none),
// Query answers the bytes of one value of the loaded block ("\" the fixed
// information, "\VarFileInfo\Translation", "\StringFileInfo\<table>\<name>").
class VersionReader {
 public:
  virtual ~VersionReader() = default;
  virtual bool Load(const std::string &path) = 0;
  virtual bool Query(const std::string &subBlock, std::vector<uint8_t> *value) const = 0;
};

// The platform's reader: the system's version API on Windows; elsewhere
// files carry no version information and every file reads as having none.
std::unique_ptr<VersionReader> MakeSystemVersionReader();
std::string RunningProgramPath();

// A component: a stored script may set FileName (kept only when it is not
// the program's own path), Language and CharacterSet.
class TVersionResource : public forms::TComponent {
  FORMS_CLASS(TVersionResource)
 public:
  // The languages of the version tables. Declared here, as the translator
  // has a TLanguage of its own.
  enum TLanguage {
    lnArabic, lnBulgarian, lnCatalan, lnTraditionalChinese, lnCzech, lnDanish, lnGerman, lnGreek,
    lnUSEnglish, lnCastilianSpanish, lnFinnish, lnFrench, lnHebrew, lnHungarian, lnIcelandic,
    lnItalian, lnJapanese, lnKorean, lnDutch, lnNorwegianBokmal, lnPolish, lnBrazilianPortuguese,
    lnRhaetoRomanic, lnRomanian, lnRussian, lnCroatoSerbian, lnSlovak, lnAlbanian, lnSwedish,
    lnThai, lnTurkish, lnUrdu, lnBahasa, lnSimplifiedChinese, lnSwissGerman, lnUKEnglish,
    lnMexicanSpanish, lnBelgianFrench, lnSwissItalian, lnBelgianDutch, lnNorwegianNynorsk,
    lnPortuguese, lnSerboCroatian, lnCanadianFrench, lnSwissFrench
  };

  static const std::vector<std::string> kLanguageNames;  // by ordinal

  // Reads the running program's own version information.
  explicit TVersionResource(std::unique_ptr<VersionReader> reader = MakeSystemVersionReader());

  std::string FileName() const { return fileName_; }
  void SetFileName(const std::string &value);
  TLanguage Language() const { return language_; }
  void SetLanguage(TLanguage value);
  TCharacterSet CharacterSet() const { return characterSet_; }
  void SetCharacterSet(TCharacterSet value);
  const TVersionInfo &VersionInfo() const { return info_; }
  TVersionInfo &VersionInfo() { return info_; }
  void SetReader(std::unique_ptr<VersionReader> reader);  // reloads

  uint16_t LanguageID() const;
  uint16_t CodePage() const;

  static TDecision IsFileNewerByName(const std::string &source, const std::string &target,
                                     TOverwriteType overwriteType);

 private:
  void Reload();
  void Parse();
  std::string QueryString(const std::string &name) const;

  std::unique_ptr<VersionReader> reader_;
  std::string fileName_;
  TLanguage language_ = lnUSEnglish;
  TCharacterSet characterSet_ = csMultilingual;
  TVersionInfo info_;
};

// The run's one instance: made when the units start, or on first use when
// it is missing, and freed when they end.
TVersionResource &SharedVersionResource();
void FreeSharedVersionResource();

// 0 when equal, 1 when a is newer, 2 when b is newer.
int CompareVersions(const std::string &a, const std::string &b);

TDecision IsFileNewerByVersionAndDate(const std::string &sourceVersion, const std::string &target,
                                      TOverwriteType overwriteType, double sourceDate);

}  // namespace install

#endif
