#include "baseform.h"

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

void TBaseQuendricForm::ApplyFontAndTranslation() {
  if (auto_set_font_) {
    if (override_main_translator_)
      ApplyLanguageFontFor(translate_into_language_, this);
    else
      ApplyLanguageFont(this);
  }
  if (auto_translate_) {
    text_language_ = override_main_translator_
                         ? TranslateComponentInto(text_language_, translate_into_language_, this)
                         : TranslateComponent(text_language_, this);
  }
#ifdef _WIN32
  if (Application()) Application()->ProcessMessages();
#endif
}

}  // namespace install
