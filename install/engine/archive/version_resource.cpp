#include "archive/version_resource.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/day_date.h"
#include "core/support.h"

namespace install {

namespace {

const uint16_t kLanguageIDs[] = {
    1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039,
    1040, 1041, 1042, 1043, 1044, 1045, 1046, 1047, 1048, 1049, 1050, 1051, 1052, 1053, 1054,
    1055, 1056, 1057, 2052, 2055, 2057, 2058, 2060, 2064, 2067, 2068, 2070, 2074, 3084, 4108};
static_assert(sizeof kLanguageIDs / sizeof kLanguageIDs[0] == TVersionResource::lnSwissFrench + 1);

const uint16_t kCodePages[] = {0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256};
static_assert(sizeof kCodePages / sizeof kCodePages[0] == csArabic + 1);

// The fixed information block's fields that are read (offsets in bytes).
constexpr size_t kFixedSize = 52;
constexpr size_t kFileVersionAt = 8, kProductVersionAt = 16, kFileOSAt = 32, kFileTypeAt = 36,
                 kFileSubtypeAt = 40;

uint32_t Dword(const std::vector<uint8_t> &bytes, size_t at) {
  uint32_t v;
  std::memcpy(&v, &bytes[at], 4);
  return v;
}

// Four 16-bit parts, most significant first: "5.0.2195.1".
std::string DottedVersion(const std::vector<uint8_t> &fixed, size_t at) {
  uint32_t ms = Dword(fixed, at), ls = Dword(fixed, at + 4);
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
  return text;
}

std::string FileOSName(uint32_t os) {
  switch (os) {
    case 1: return "Windows 3.0 or later";
    case 2: return "16 bit OS/2 Presentation Manager";
    case 3: return "32 bit OS/2 Presentation Manager";
    case 4: return "32 bit Windows";
    case 0x10000: return "MS-Dos";
    case 0x10001: return "Windows 3.0 or later with MS-Dos";
    case 0x10004: return "32 bit Windows with MS-Dos";
    case 0x20000: return "16 bit OS/2";
    case 0x20002: return "16 bit OS/2 with Presentation Manager";
    case 0x30000: return "32 bit OS/2";
    case 0x30003: return "32 bit OS/2 with Presentation Manager";
    case 0x40000: return "Windows NT";
    case 0x40004: return "Windows NT with 32 bit Windows";
    default: return "Unknown";
  }
}

std::string FileTypeName(uint32_t type) {
  switch (type) {
    case 1: return "Application";
    case 2: return "Dynamic-Link Library";
    case 3: return "Device Driver";
    case 4: return "Font";
    case 5: return "Virtual Device Driver";
    case 7: return "Static-Link Library";
    default: return "Unknown";
  }
}

std::string FileSubTypeName(uint32_t type, uint32_t subtype) {
  static const char *const kDrivers[] = {"Printer", "Keyboard", "Language", "Display", "Mouse",
                                         "Network", "System", "Installable", "Sound",
                                         "Communications"};
  static const char *const kFonts[] = {"Raster", "Vector", "TrueType"};
  if (type == 3) return subtype >= 1 && subtype <= 10 ? kDrivers[subtype - 1] : "Unknown";
  if (type == 4) return subtype >= 1 && subtype <= 3 ? kFonts[subtype - 1] : "Unknown";
  return "";
}

// A version field as a whole number, when it is one.
bool FieldNumber(const std::string &field, long long *number) {
  if (field.empty()) return false;
  const char *start = field.c_str();
  char *end = nullptr;
  errno = 0;
  *number = std::strtoll(start, &end, 10);
  return errno == 0 && *end == '\0' && !std::isspace(static_cast<unsigned char>(*start)) &&
         *number >= INT32_MIN && *number <= INT32_MAX;
}

std::vector<std::string> Fields(const std::string &version) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t dot = version.find('.', start);
    fields.push_back(version.substr(start, dot == std::string::npos ? dot : dot - start));
    if (dot == std::string::npos) return fields;
    start = dot + 1;
  }
}

TDecision ByVersion(int comparison) {
  return comparison == 0 ? TDecision::Same
                         : comparison == 1 ? TDecision::Replace : TDecision::Keep;
}

TDecision ByDate(double sourceDate, double targetDate) {
  int64_t source = day_date::ToSeconds(sourceDate), target = day_date::ToSeconds(targetDate);
  return source > target ? TDecision::Replace
                         : source == target ? TDecision::Same : TDecision::Keep;
}

std::string FileVersionOf(const std::string &path) {
  TVersionResource &versions = SharedVersionResource();
  versions.SetFileName(path);
  return versions.VersionInfo().FileVersion;
}

// The rule between a source (its version and a way to learn its date) and
// the existing target. Both routines share it; they differ in where the
// source's version and date come from.
template <typename SourceDate>
TDecision Decide(const std::string &sourceVersion, SourceDate sourceDate,
                 const std::string &target, TOverwriteType overwriteType) {
  switch (overwriteType) {
    case owAlways: return TDecision::Replace;
    case owAsk: return TDecision::Ask;
    case owNever:
      return !forms::Trim(target).empty() && FileExists(target)
                 ? TDecision::Keep
                 : TDecision::Replace;
    case owVersion:
    case owDate:
    case owVersionDate: break;
  }
  if (overwriteType != owDate) {
    int comparison = CompareVersions(sourceVersion, FileVersionOf(target));
    if (overwriteType == owVersion || comparison != 0) return ByVersion(comparison);
  }
  double source = 0, existing = 0;
  if (!sourceDate(&source) || !day_date::ReadFileDate(target, &existing)) return TDecision::Error;
  return ByDate(source, existing);
}

}  // namespace

const std::vector<std::string> kOverwriteTypeNames = {"owAlways", "owNever",       "owVersion",
                                                      "owDate",   "owVersionDate", "owAsk"};

const std::vector<std::string> TVersionResource::kLanguageNames = {
    "lnArabic",           "lnBulgarian",        "lnCatalan",         "lnTraditionalChinese",
    "lnCzech",            "lnDanish",           "lnGerman",          "lnGreek",
    "lnUSEnglish",        "lnCastilianSpanish", "lnFinnish",         "lnFrench",
    "lnHebrew",           "lnHungarian",        "lnIcelandic",       "lnItalian",
    "lnJapanese",         "lnKorean",           "lnDutch",           "lnNorwegianBokmal",
    "lnPolish",           "lnBrazilianPortuguese", "lnRhaetoRomanic", "lnRomanian",
    "lnRussian",          "lnCroatoSerbian",    "lnSlovak",          "lnAlbanian",
    "lnSwedish",          "lnThai",             "lnTurkish",         "lnUrdu",
    "lnBahasa",           "lnSimplifiedChinese", "lnSwissGerman",    "lnUKEnglish",
    "lnMexicanSpanish",   "lnBelgianFrench",    "lnSwissItalian",    "lnBelgianDutch",
    "lnNorwegianNynorsk", "lnPortuguese",       "lnSerboCroatian",   "lnCanadianFrench",
    "lnSwissFrench"};

const std::vector<std::string> kCharacterSetNames = {
    "csASCII",    "csJapan",        "csKorea", "csTaiwan",  "csUnicode", "csLatin2",
    "csCyrillic", "csMultilingual", "csGreek", "csTurkish", "csHebrew",  "csArabic"};

const forms::ClassInfo &TVersionInfo::StaticClass() {
  static const forms::ClassInfo info{"TVersionInfo", &forms::TPersistent::StaticClass()};
  return info;
}

const forms::ClassInfo &TVersionResource::StaticClass() {
  using namespace forms;
  using C = TVersionResource;
  static const ClassInfo info{
      "TVersionResource",
      &TComponent::StaticClass(),
      [](TComponent *owner) -> TComponent * { return New<TVersionResource>(owner); },
      {[] {
         PropInfo fileName = StringProp<C>("FileName", &C::FileName, &C::SetFileName);
         fileName.stored = [](const TPersistent &o) {
           return static_cast<const C &>(o).FileName() != RunningProgramPath();
         };
         return fileName;
       }(),
       EnumProp<C, C::TLanguage>("Language", C::kLanguageNames, &C::Language, &C::SetLanguage,
                                 C::lnUSEnglish),
       EnumProp<C, TCharacterSet>("CharacterSet", kCharacterSetNames, &C::CharacterSet,
                                  &C::SetCharacterSet, csMultilingual),
       ObjectProp<C, TVersionInfo>("VersionInfo", &C::VersionInfo)}};
  return info;
}

TVersionResource::TVersionResource(std::unique_ptr<VersionReader> reader)
    : reader_(std::move(reader)), fileName_(RunningProgramPath()) {
  Reload();
}

void TVersionResource::SetFileName(const std::string &value) {
  fileName_ = value;
  Reload();
}

void TVersionResource::SetLanguage(TLanguage value) {
  language_ = value;
  Reload();
}

void TVersionResource::SetCharacterSet(TCharacterSet value) {
  characterSet_ = value;
  Reload();
}

void TVersionResource::SetReader(std::unique_ptr<VersionReader> reader) {
  reader_ = std::move(reader);
  Reload();
}

uint16_t TVersionResource::LanguageID() const { return kLanguageIDs[language_]; }

uint16_t TVersionResource::CodePage() const { return kCodePages[characterSet_]; }

void TVersionResource::Reload() {
  info_ = TVersionInfo();
  if (reader_->Load(fileName_)) Parse();
}

void TVersionResource::Parse() {
  std::vector<uint8_t> fixed;
  if (!reader_->Query("\\", &fixed) || fixed.size() < kFixedSize) return;
  std::vector<uint8_t> translation;
  if (reader_->Query("\\VarFileInfo\\Translation", &translation) && translation.size() == 4)
    info_.PrimaryLanguage = static_cast<uint16_t>((translation[0] | translation[1] << 8) & 0x3FF);
  info_.FileVersion = DottedVersion(fixed, kFileVersionAt);
  info_.ProductVersion = DottedVersion(fixed, kProductVersionAt);
  info_.FileOS = FileOSName(Dword(fixed, kFileOSAt));
  uint32_t type = Dword(fixed, kFileTypeAt);
  info_.FileType = FileTypeName(type);
  info_.FileSubType = FileSubTypeName(type, Dword(fixed, kFileSubtypeAt));
  info_.Comment = QueryString("Comments");
  info_.CompanyName = QueryString("CompanyName");
  info_.FileDescription = QueryString("FileDescription");
  info_.InternalName = QueryString("InternalName");
  info_.LegalCopyright = QueryString("LegalCopyright");
  info_.LegalTradeMarks = QueryString("LegalTradeMarks");
  info_.OriginalFileName = QueryString("OriginalFileName");
  info_.PrivateBuild = QueryString("PrivateBuild");
  info_.ProductName = QueryString("ProductName");
  info_.ProductVersion = QueryString("ProductVersion");
  info_.SpecialBuild = QueryString("SpecialBuild");
}

std::string TVersionResource::QueryString(const std::string &name) const {
  char table[16];
  std::snprintf(table, sizeof table, "%04X%04X", LanguageID(), CodePage());
  std::vector<uint8_t> value;
  if (!reader_->Query(std::string("\\StringFileInfo\\") + table + "\\" + name, &value)) return "";
  std::string text(value.begin(), value.end());
  return text.substr(0, text.find('\0'));
}

namespace {
TVersionResource *g_versionResource = nullptr;
}  // namespace

TVersionResource &SharedVersionResource() {
  if (!g_versionResource) g_versionResource = forms::New<TVersionResource>(nullptr);
  return *g_versionResource;
}

void FreeSharedVersionResource() {
  forms::Free(g_versionResource);
  g_versionResource = nullptr;
}

int CompareVersions(const std::string &a, const std::string &b) {
  std::vector<std::string> fieldsA = Fields(a), fieldsB = Fields(b);
  for (size_t i = 0;; ++i) {
    std::string fieldA = i < fieldsA.size() ? fieldsA[i] : "";
    std::string fieldB = i < fieldsB.size() ? fieldsB[i] : "";
    if (fieldA.empty() || fieldB.empty())
      return fieldA.empty() && fieldB.empty() ? 0 : fieldB.empty() ? 1 : 2;
    long long numberA, numberB;
    int order;
    if (FieldNumber(fieldA, &numberA) && FieldNumber(fieldB, &numberB))
      order = numberA < numberB ? -1 : numberA > numberB;
    else
      order = fieldA.compare(fieldB);
    if (order != 0) return order > 0 ? 1 : 2;
  }
}

TDecision TVersionResource::IsFileNewerByName(const std::string &source,
                                              const std::string &target,
                                              TOverwriteType overwriteType) {
  std::string sourceVersion =
      overwriteType == owVersion || overwriteType == owVersionDate ? FileVersionOf(source) : "";
  auto sourceDate = [&source](double *date) { return day_date::ReadFileDate(source, date); };
  return Decide(sourceVersion, sourceDate, target, overwriteType);
}

TDecision IsFileNewerByVersionAndDate(const std::string &sourceVersion, const std::string &target,
                                      TOverwriteType overwriteType, double sourceDate) {
  auto storedDate = [sourceDate](double *date) {
    *date = sourceDate;
    return true;
  };
  return Decide(sourceVersion, storedDate, target, overwriteType);
}

}  // namespace install
