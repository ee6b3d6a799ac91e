// TBaseQuendricForm: the base of every wizard window. It carries the
// language settings its dialog hands over and applies the language's font
// and the translation of its texts before it is shown.
#pragma once

#include "core/container.h"
#include "core/translator.h"
#include "form.h"

namespace install {

// Gives form the font of a language (when set_font) and translates its
// texts from the language they are in (when translate): into `into` when
// override_main, else into the global translator's language. Answers the
// language the texts are in afterwards.
TQndrLanguage ApplyLanguageTo(forms::TForm* form, bool set_font, bool translate, bool override_main,
                              TQndrLanguage into, TQndrLanguage texts_in);

class TBaseQuendricForm : public forms::TForm {
  FORMS_CLASS(TBaseQuendricForm)
public:
  void Create(forms::TComponent* owner) override;
  virtual void UpdateLanguage();
  // Page forms fill their controls from their Container here.
  virtual void UpdatePage() {}
  // Font first, then texts, then the waiting window messages (so that the
  // changes are painted).
  virtual void ApplyFontAndTranslation();

  bool AutoSetFont() const { return auto_set_font_; }
  void SetAutoSetFont(bool v) { auto_set_font_ = v; }
  bool AutoTranslate() const { return auto_translate_; }
  void SetAutoTranslate(bool v) { auto_translate_ = v; }
  TInstallObject* Container() const { return container_; }
  void SetContainer(TInstallObject* v) { container_ = v; }
  // The language the form's texts are in now.
  TQndrLanguage TextLanguage() const { return text_language_; }
  bool OverrideMainTranslator() const { return override_main_translator_; }
  void SetOverrideMainTranslator(bool v) { override_main_translator_ = v; }
  TQndrLanguage TranslateIntoLanguage() const { return translate_into_language_; }
  void SetTranslateIntoLanguage(TQndrLanguage v) { translate_into_language_ = v; }

private:
  bool auto_set_font_ = true;
  bool auto_translate_ = true;
  TInstallObject* container_ = nullptr;
  TQndrLanguage text_language_ = qlEnglish;
  bool override_main_translator_ = false;
  TQndrLanguage translate_into_language_ = qlUser;
};

}  // namespace install
