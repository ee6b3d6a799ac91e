#include "core/translator.h"

#include "controls.h"
#include "core/exceptions.h"

namespace install {

using namespace forms;

const std::vector<std::string> kLanguageNames = {
    "qlChineseSimplified", "qlChineseTraditional", "qlCzech",   "qlDanish",  "qlDutch",
    "qlEnglish",           "qlFrench",             "qlGerman",  "qlGreek",   "qlHebrew",
    "qlItalian",           "qlJapanese",           "qlKorean",  "qlNorwegianBokmal",
    "qlNorwegianNynorsk",  "qlPolish",             "qlPortugese", "qlRussian", "qlSpanish",
    "qlSwedish",           "qlUser",               "qlVietnamese"};

namespace {

TTranslator* g_translator = nullptr;

// Runs its action when the scope ends, also on an exception.
class ScopedRestore {
public:
  explicit ScopedRestore(std::function<void()> action) : action_(std::move(action)) {}
  ScopedRestore(const ScopedRestore&) = delete;
  ScopedRestore& operator=(const ScopedRestore&) = delete;
  ~ScopedRestore() {
    if (action_) action_();
  }

private:
  std::function<void()> action_;
};

struct LanguageEntry {
  TQndrLanguage ident;
  const char* resource;
  const char* file;
  const char* field;
};

const LanguageEntry kLanguageTable[] = {
    {qlChineseSimplified, "BM_LANG_SIMPCHINESE", "qndiChineseSimplified.txt", "lgChineseSimplified"},
    {qlChineseTraditional, "BM_LANG_CHINESE_TRADITIONAL", "qndiChineseTraditional.txt", "lgChineseTraditional"},
    {qlCzech, "BM_LANG_CZECH", "qndiCzech.txt", "lgCzech"},
    {qlDanish, "BM_LANG_DANISH", "qndiDanish.txt", "lgDanish"},
    {qlDutch, "BM_LANG_DUTCH", "qndiDutch.txt", "lgDutch"},
    {qlEnglish, "BM_LANG_ENGLISH", "qndiEnglish.txt", "lgEnglish"},
    {qlFrench, "BM_LANG_FRENCH", "qndiFrench.txt", "lgFrench"},
    {qlGerman, "BM_LANG_GERMAN", "qndiGerman.txt", "lgGerman"},
    {qlGreek, "BM_LANG_GREEK", "qndiGreek.txt", "lgGreek"},
    {qlHebrew, "BM_LANG_HEBREW", "qndiHebrew.txt", "lgHebrew"},
    {qlItalian, "BM_LANG_ITALIAN", "qndiItalian.txt", "lgItalian"},
    {qlJapanese, "BM_LANG_JAPANESE", "qndiJapanese.txt", "lgJapanese"},
    {qlKorean, "BM_LANG_KOREAN", "qndiKorean.txt", "lgKorean"},
    {qlNorwegianBokmal, "BM_LANG_NORWEGIAN_BOKMAL", "qndiNorwegianBokmal.txt", "lgNorwegianBokmal"},
    {qlNorwegianNynorsk, "BM_LANG_NORWEGIAN_NYNORSK", "qndiNorwegianNynorsk.txt", "lgNorwegianNynorsk"},
    {qlPolish, "BM_LANG_POLISH", "qndiPolish.txt", "lgPolish"},
    {qlPortugese, "BM_LANG_PORTUGESE", "qndiPortugese.txt", "lgPortugese"},
    {qlRussian, "BM_LANG_RUSSIAN", "qndiRussian.txt", "lgRussian"},
    {qlSpanish, "BM_LANG_SPANISH", "qndiSpanish.txt", "lgSpanish"},
    {qlSwedish, "BM_LANG_SWEDISH", "qndiSwedish.txt", "lgSwedish"},
    {qlVietnamese, "BM_LANG_VIETNAMESE", "qndiVietnamese.txt", "lgVietnamese"},
};

// A Chinese Ming face that the system has under this name.
const char* const kChineseFace = "MingLiU";
// The Japanese face name in Shift-JIS and the Korean one in EUC-KR.
const char* const kJapaneseFace = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";
const char* const kKoreanFace = "\xB9\xD9\xC5\xC1";

[[noreturn]] void FormatError(int line, const std::string& text, bool names_both_forms) {
  if (names_both_forms)
    throw Exception(Format("The %d'th string (%s) does not have the proper format of GLID;Text or .GLID;",
                           {int64_t{line}, text}));
  throw Exception(Format("The %d'th string (%s) does not have the proper format of GLID;Text",
                         {int64_t{line}, text}));
}

// The GLID of a field: blank gives the GLID;Text error, a non-number the
// error that names both forms.
int32_t ParseGLID(const std::string& field, int line, const std::string& text) {
  if (Trim(field).empty()) FormatError(line, text, false);
  int32_t glid = 0;
  if (!TryStrToInt(Trim(field), glid)) FormatError(line, text, true);
  return glid;
}

}  // namespace

TQndrLanguage LanguageFromLangID(uint16_t id) {
  unsigned primary = id & 0x3FF;
  unsigned sub = (id >> 10) & 0x3F;
  switch (primary) {
    case 4: return sub == 1 ? qlChineseTraditional : qlChineseSimplified;
    case 5: return qlCzech;
    case 6: return qlDanish;
    case 7: return qlGerman;
    case 8: return qlGreek;
    case 9: return qlEnglish;
    case 10: return qlSpanish;
    case 12: return qlFrench;
    case 13: return qlHebrew;
    case 16: return qlItalian;
    case 17: return qlJapanese;
    case 18: return qlKorean;
    case 19: return qlDutch;
    // Norwegian of an unknown kind reads the common written form, Bokmal.
    case 20: return sub == 2 ? qlNorwegianNynorsk : qlNorwegianBokmal;
    case 21: return qlPolish;
    case 22: return qlPortugese;
    case 25: return qlRussian;
    case 29: return qlSwedish;
    case 42: return qlVietnamese;
    default: return qlEnglish;
  }
}

LanguageFontSettings FontSettingsOf(TQndrLanguage language) {
  switch (language) {
    case qlChineseSimplified: return {134, kChineseFace, 9};
    case qlChineseTraditional: return {136, kChineseFace, 9};
    // Portuguese is written in the Western character set: its accented
    // letters would show as other letters in the Central European one.
    case qlCzech:
    case qlPolish: return {238, "Arial", 8};
    case qlPortugese:
    case qlDanish:
    case qlDutch:
    case qlEnglish:
    case qlFrench:
    case qlItalian:
    case qlSpanish:
    case qlNorwegianBokmal:
    case qlNorwegianNynorsk:
    case qlSwedish: return {0, "Arial", 8};
    case qlGerman: return {0, "MS Sans Serif", 8};
    case qlGreek: return {0, "SGreek", 8};
    case qlHebrew: return {177, "Arial", 8};
    case qlJapanese: return {128, kJapaneseFace, 9};
    case qlKorean: return {129, kKoreanFace, 9};
    case qlRussian: return {204, "Arial", 8};
    case qlVietnamese: return {163, "Arial", 8};
    default: throw Exception("Unrecognized language");
  }
}

// TLangFormatStrings

void TLangFormatStrings::Reparse() {
  if (language_.ParsingEnabled()) language_.ParseStrings();
}

int TLangFormatStrings::Add(const std::string& line) {
  int index = TStringList::Add(line);
  Reparse();
  return index;
}

void TLangFormatStrings::AddStrings(const TStringList& other) {
  TStringList::AddStrings(other);
  Reparse();
}

void TLangFormatStrings::Insert(int index, const std::string& line) {
  TStringList::Insert(index, line);
  Reparse();
}

void TLangFormatStrings::Move(int from, int to) {
  TStringList::Move(from, to);
  Reparse();
}

void TLangFormatStrings::Clear() {
  TStringList::Clear();
  Reparse();
}

void TLangFormatStrings::SetText(const std::string& text) {
  TStringList::SetText(text);
  Reparse();
}

void TLangFormatStrings::Assign(const TStringList& other) {
  {
    language_.SetParsingEnabled(false);
    ScopedRestore enable([this] { language_.SetParsingEnabled(true); });
    TStringList::Assign(other);
  }
  Reparse();
}

void TLangFormatStrings::Delete(int index) {
  TStringList::Delete(index);
  for (auto& entry : language_.StringEntries())
    if (entry->LineIndex > index) --entry->LineIndex;
}

// TLanguage

const ClassInfo& TLanguage::StaticClass() {
  using C = TLanguage;
  static const ClassInfo info{
      "TLanguage", &TPersistent::StaticClass(), nullptr,
      {ObjectProp<C, TFont>("Font", &C::Font),
       BoolProp<C>("FontOverride", &C::FontOverride, &C::SetFontOverride, false),
       StringsProp<C, TLangFormatStrings>("Strings", &C::Strings, &C::SetStrings)}};
  return info;
}

TLanguage::TLanguage(TTranslator* translator, std::string resource_name, std::string file_name,
                     TQndrLanguage ident)
    : translator_(translator),
      resource_name_(std::move(resource_name)),
      file_name_(std::move(file_name)),
      ident_(ident),
      strings_(*this) {}

void TLanguage::ParseStrings() {
  if (!parsing_enabled_) return;
  try {
    ParseInto();
  } catch (...) {
    memo_entries_.clear();
    string_entries_.clear();
    throw;
  }
}

void TLanguage::ParseInto() {
  memo_entries_.clear();
  string_entries_.clear();
  bool in_block = false;
  int32_t block_glid = 0;
  int block_line = 0;
  TStringList block_lines;
  for (int i = 0; i < strings_.Count(); ++i) {
    std::string line = Trim(strings_[i]);
    if (line.empty()) continue;
    if (line == "#") {
      if (!in_block)
        throw Exception(Format("Found the end of memo marker # at line %d. Was not in a memo however",
                               {int64_t{i}}));
      memo_entries_.push_back(std::make_unique<TLanguageMemo>(block_glid, this, block_line, block_lines));
      in_block = false;
      continue;
    }
    if (line[0] == '*') continue;
    if (in_block) {
      block_lines.Add(line);
      continue;
    }
    std::string first = line.substr(0, line.find(';'));
    if (line[0] == '#') {
      block_glid = ParseGLID(first.substr(1), i, line);
      block_line = i;
      block_lines.Clear();
      in_block = true;
      continue;
    }
    size_t semicolon = line.find(';');
    std::string text;
    if (semicolon != std::string::npos) {
      size_t end = line.find(';', semicolon + 1);
      text = line.substr(semicolon + 1, end == std::string::npos ? std::string::npos : end - semicolon - 1);
    }
    int32_t glid = ParseGLID(first, i, line);
    if (Trim(text).empty()) FormatError(i, line, false);
    string_entries_.push_back(std::make_unique<TLanguageString>(glid, this, i, text));
  }
}

const TLanguageString* TLanguage::StringByGLID(int32_t glid) const {
  for (const auto& entry : string_entries_)
    if (entry->GLID == glid) return entry.get();
  return nullptr;
}

const TLanguageMemo* TLanguage::MemoByGLID(int32_t glid) const {
  for (const auto& entry : memo_entries_)
    if (entry->GLID == glid) return entry.get();
  return nullptr;
}

const TLanguageString* TLanguage::StringByText(const std::string& text) const {
  for (const auto& entry : string_entries_)
    if (SameText(entry->Text, text)) return entry.get();
  return nullptr;
}

const TLanguageMemo* TLanguage::MemoByText(const TStringList& lines) const {
  for (const auto& entry : memo_entries_)
    if (entry->Lines.Text() == lines.Text()) return entry.get();
  return nullptr;
}

// TTranslator

namespace {

std::vector<PropInfo> TranslatorProperties() {
  std::vector<PropInfo> properties;
  for (const auto& entry : kLanguageTable) {
    TQndrLanguage ident = entry.ident;
    PropInfo p;
    p.name = entry.field;
    p.kind = PropKind::Object;
    p.get_object = [ident](TPersistent& o) -> TPersistent* {
      return static_cast<TTranslator&>(o).LanguageByIdent(ident);
    };
    properties.push_back(p);
  }
  properties.push_back(EnumProp<TTranslator, TQndrLanguage>(
      "TranslateIntoLanguage", kLanguageNames, &TTranslator::TranslateIntoLanguage,
      &TTranslator::SetTranslateIntoLanguage, qlUser));
  return properties;
}

}  // namespace

const ClassInfo& TTranslator::StaticClass() {
  static const ClassInfo info{"TTranslator", &TComponent::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TTranslator>(owner); },
                              TranslatorProperties()};
  return info;
}

void TTranslator::Create(TComponent* owner) {
  TComponent::Create(owner);
  for (const auto& entry : kLanguageTable)
    languages_.push_back(std::make_unique<TLanguage>(this, entry.resource, entry.file, entry.ident));
  translate_into_ = qlUser;
  if (!g_translator) g_translator = this;
}

void TTranslator::Destroy() {
  languages_.clear();
  if (g_translator == this) g_translator = nullptr;
  TComponent::Destroy();
}

void TTranslator::SetTranslateIntoLanguage(TQndrLanguage language) {
  translate_into_ = language;
  Fire(on_change_);
}

TLanguage* TTranslator::LanguageByIdent(TQndrLanguage language) const {
  for (const auto& candidate : languages_)
    if (candidate->LanguageIdent() == language) return candidate.get();
  return nullptr;
}

TLanguage* TTranslator::UserLanguage() const {
  try {
    return LanguageByIdent(LanguageFromLangID(UserDefaultLangID()));
  } catch (const std::exception&) {
    return nullptr;
  }
}

TLanguage* TTranslator::TargetLanguage() const {
  return translate_into_ == qlUser ? UserLanguage() : LanguageByIdent(translate_into_);
}

std::vector<TLanguage*> TTranslator::Languages() const {
  std::vector<TLanguage*> out;
  for (const auto& language : languages_) out.push_back(language.get());
  return out;
}

std::string TTranslator::TranslateText(TQndrLanguage source, const std::string& text) const {
  TLanguage* from = source == qlUser ? UserLanguage() : LanguageByIdent(source);
  TLanguage* to = TargetLanguage();
  if (!from || !to) return text;
  const TLanguageString* source_entry = from->StringByText(text);
  if (!source_entry) return text;
  const TLanguageString* target_entry = to->StringByGLID(source_entry->GLID);
  return target_entry ? target_entry->Text : text;
}

std::string TTranslator::TranslateByGLID(int32_t glid, const std::string& text) const {
  TLanguage* to = TargetLanguage();
  const TLanguageString* entry = to ? to->StringByGLID(glid) : nullptr;
  return entry ? entry->Text : text;
}

void TTranslator::TranslateMemo(TQndrLanguage source, const TStringList& lines, TStringList& out) const {
  out.Assign(lines);
  TLanguage* from = source == qlUser ? UserLanguage() : LanguageByIdent(source);
  TLanguage* to = TargetLanguage();
  if (!from || !to) return;
  const TLanguageMemo* source_memo = from->MemoByText(lines);
  const TLanguageMemo* target_memo = source_memo ? to->MemoByGLID(source_memo->GLID) : nullptr;
  if (target_memo) out.Assign(target_memo->Lines);
}

namespace {

// The text id of a control translated by id; 0 for any other.
int32_t GLIDOf(TComponent* component) {
  if (auto* label = dynamic_cast<TTranslateLabel*>(component)) return label->GLID();
  if (auto* button = dynamic_cast<TTranslateBitBtn*>(component)) return button->GLID();
  return 0;
}

}  // namespace

void TTranslator::TranslateTexts(TQndrLanguage source, TComponent* component) {
  // A control translated by its text id is translated by that alone.
  if (int32_t glid = GLIDOf(component); glid != 0) {
    auto* control = static_cast<TControl*>(component);
    if (glid > 0) control->SetCaption(TranslateByGLID(glid, control->Caption()));
    return;
  }
  const ClassInfo& info = component->ClassType();
  for (const ClassInfo* level = &info; level; level = level->parent) {
    for (const PropInfo& property : level->properties) {
      if (property.kind == PropKind::String && !SameText(property.name, "Name")) {
        std::string value = property.get_string(*component);
        if (!Trim(value).empty()) property.set_string(*component, TranslateText(source, value));
      } else if (property.kind == PropKind::Strings) {
        TStringList translated;
        const TStringList& lines = property.get_strings(*component);
        if (SameText(property.name, "Lines")) {
          TranslateMemo(source, lines, translated);
        } else {
          for (const auto& item : lines.Lines()) translated.Add(TranslateText(source, item));
        }
        property.set_strings(*component, translated);
      }
    }
  }
}

TQndrLanguage TTranslator::TranslateComponent(TQndrLanguage source, TComponent* component) {
  if (!component) return source;
  {
    // A control is hidden while its texts change, then shown as it was.
    auto* control = dynamic_cast<TControl*>(component);
    bool hide = control && !component->InheritsFrom("TForm") && !component->InheritsFrom("TImage");
    ScopedRestore visible(hide ? std::function<void()>([control, was = control->Visible()] {
                                   control->SetVisible(was);
                                 })
                               : nullptr);
    if (hide) control->SetVisible(false);
    // A label keeps its size while its text changes.
    auto* label = dynamic_cast<TLabel*>(component);
    ScopedRestore auto_size(label ? std::function<void()>([label, was = label->AutoSize()] {
                                      label->SetAutoSize(was);
                                    })
                                  : nullptr);
    if (label) label->SetAutoSize(false);
    TranslateTexts(source, component);
    for (int i = 0; i < component->ComponentCount(); ++i) {
      TComponent* owned = component->Components(i);
      if (!owned->InheritsFrom("TForm")) TranslateComponent(source, owned);
    }
  }
  TLanguage* target = TargetLanguage();
  return !target || target->Strings().Count() == 0 ? source : translate_into_;
}

TQndrLanguage TTranslator::TranslateComponentInto(TQndrLanguage source, TQndrLanguage target,
                                                  TComponent* component) {
  ScopedRestore restore([this, saved = translate_into_] { translate_into_ = saved; });
  translate_into_ = target;
  return TranslateComponent(source, component);
}

namespace {

void ApplyFontTo(TLanguage& language, TControl& control) {
  if (language.FontOverride()) {
    control.Font().Assign(language.Font());
  } else {
    LanguageFontSettings settings = FontSettingsOf(language.LanguageIdent());
    control.Font().SetCharset(settings.charset);
    control.Font().SetName(settings.face);
    if (control.Font().Size() < settings.min_size) control.Font().SetSize(settings.min_size);
  }
  control.FontChanged();
  if (auto* container = dynamic_cast<TWinControl*>(&control))
    for (int i = 0; i < container->ControlCount(); ++i) ApplyFontTo(language, *container->Controls(i));
}

}  // namespace

void TTranslator::ApplyFont(TPersistent* control, bool force) {
  TLanguage* language = TargetLanguage();
  auto* target = dynamic_cast<TControl*>(control);
  if (!language || !target) return;
  if (language->Strings().Count() == 0 && !force) language = LanguageByIdent(qlEnglish);
  ApplyFontTo(*language, *target);
}

void TTranslator::ApplyFontFor(TQndrLanguage language, TPersistent* control) {
  ScopedRestore restore([this, saved = translate_into_] { translate_into_ = saved; });
  translate_into_ = language;
  ApplyFont(control, false);
}

const ClassInfo& TTranslateLabel::StaticClass() {
  using C = TTranslateLabel;
  static const ClassInfo info{"TTranslateLabel", &TLabel::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TTranslateLabel>(owner); },
                              {IntProp<C>("GLID", &C::GLID, &C::SetGLID, 0)}};
  return info;
}

const ClassInfo& TTranslateBitBtn::StaticClass() {
  using C = TTranslateBitBtn;
  static const ClassInfo info{"TTranslateBitBtn", &TBitBtn::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TTranslateBitBtn>(owner); },
                              {IntProp<C>("GLID", &C::GLID, &C::SetGLID, 0)}};
  return info;
}

TTranslator* GlobalTranslator() { return g_translator; }

std::string TranslateString(const std::string& text) {
  return g_translator ? g_translator->TranslateText(qlEnglish, text) : text;
}

TQndrLanguage TranslateComponent(TQndrLanguage source, TComponent* component) {
  return g_translator ? g_translator->TranslateComponent(source, component) : source;
}

TQndrLanguage TranslateComponentInto(TQndrLanguage source, TQndrLanguage target, TComponent* component) {
  return g_translator ? g_translator->TranslateComponentInto(source, target, component) : source;
}

void ApplyLanguageFont(TPersistent* control) {
  if (g_translator) g_translator->ApplyFont(control, false);
}

void ApplyLanguageFontFor(TQndrLanguage language, TPersistent* control) {
  if (g_translator) g_translator->ApplyFontFor(language, control);
}

}  // namespace install
