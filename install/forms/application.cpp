#include "application.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace forms {

namespace {
TApplication* g_application = nullptr;
}

const ClassInfo& TApplication::StaticClass() {
  static const ClassInfo info{"TApplication", &TComponent::StaticClass()};
  return info;
}

void TApplication::HandleException(TComponent* sender, const std::exception& error) {
  if (dynamic_cast<const EAbort*>(&error)) return;
  if (on_exception_)
    Fire(on_exception_, sender, error);
  else
    ShowException(error);
}

void TApplication::ShowException(const std::exception& error) {
  std::string text = error.what();
  if (!text.empty() && text.back() != '.') text += '.';
#ifdef _WIN32
  MessageBoxA(nullptr, text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
#else
  std::fprintf(stderr, "%s: %s\n", title_.c_str(), text.c_str());
#endif
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == main_form_) main_form_ = nullptr;
}

TApplication* Application() { return g_application; }

void InitializeApplication() {
  if (!g_application) g_application = New<TApplication>(nullptr);
}

void FinalizeApplication() {
  Free(g_application);
  g_application = nullptr;
}

void CallHandlingExceptions(TComponent* sender, const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    if (g_application)
      g_application->HandleException(sender, error);
    else
      throw;
  }
}

}  // namespace forms
