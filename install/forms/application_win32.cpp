// The message loop of the application object.
#include <windows.h>

#include "application.h"

namespace forms {

bool TApplication::ProcessMessage() {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

void TApplication::HandleMessagesUntil(const std::function<bool()>& done) {
  while (!terminated_ && !done()) {
    if (!ProcessMessage()) WaitMessage();
  }
}

void TApplication::Run() {
  CallHandlingExceptions(this, [this] {
    if (main_form_) main_form_->Show();
  });
  HandleMessagesUntil([] { return false; });
}

}  // namespace forms
