#include "core/baseform.h"

#include "application.h"

namespace install {

using namespace forms;

const ClassInfo& TBaseQuendricForm::StaticClass() {
  static const ClassInfo info{"TBaseQuendricForm", &TForm::StaticClass()};
  return info;
}

void TBaseQuendricForm::Create(TComponent* owner) {
  TForm::Create(owner);
  Font().SetCharset(0);
}

void TBaseQuendricForm::UpdateLanguage() { ApplyFontAndTranslation(); }

TQndrLanguage ApplyLanguageTo(TForm* form, bool set_font, bool translate, bool override_main, TQndrLanguage into,
                              TQndrLanguage texts_in) {
  if (set_font) {
    if (override_main)
      ApplyLanguageFontFor(into, form);
    else
      ApplyLanguageFont(form);
  }
  if (!translate) return texts_in;
  return override_main ? TranslateComponentInto(texts_in, into, form) : TranslateComponent(texts_in, form);
}

void TBaseQuendricForm::ApplyFontAndTranslation() {
  text_language_ = ApplyLanguageTo(this, auto_set_font_, auto_translate_, override_main_translator_,
                                   translate_into_language_, text_language_);
#ifdef _WIN32
  if (Application()) Application()->ProcessMessages();
#endif
}

}  // namespace install
