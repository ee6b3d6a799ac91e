// TApplication: the program's one application object. It knows the main
// form (the first form made through CreateForm), runs the message loop on
// Windows until Terminate, and is where every exception that leaves an event
// handler, a window procedure or a modal loop ends: HandleException drops
// the silent EAbort, hands others to OnException or shows them.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "form.h"
#include "stream.h"

namespace forms {

using TExceptionEvent = std::function<void(TComponent* sender, const std::exception& error)>;

class TApplication : public TComponent {
  FORMS_CLASS(TApplication)
public:
  TForm* MainForm() const { return main_form_; }
  std::string Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  void SetOnException(TExceptionEvent handler) { on_exception_ = std::move(handler); }
  const TExceptionEvent& OnException() const { return on_exception_; }

  // Makes a form owned by the application and reads its stored stream into
  // it; the first form made becomes the main form. A form whose stream
  // fails is freed again.
  template <class T>
  T* CreateForm(const std::string& stream_text) {
    T* form = New<T>(this);
    if (!main_form_) main_form_ = form;
    try {
      ReadComponent(*form, stream_text);
    } catch (...) {
      Free(form);
      throw;
    }
    return form;
  }

  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // EAbort: nothing; otherwise OnException or, without one, ShowException.
  void HandleException(TComponent* sender, const std::exception& error);
  // Shows the error's message to the user.
  void ShowException(const std::exception& error);
  void Notification(TComponent* component, TOperation operation) override;

#ifdef _WIN32
  // Shows the main form and dispatches messages until Terminate.
  void Run();
  // Dispatches the messages waiting in the queue, then returns.
  void ProcessMessages();
  // Dispatches messages, waiting for them, until done() or Terminate.
  void HandleMessagesUntil(const std::function<bool()>& done);
#endif

private:
#ifdef _WIN32
  // One message from the queue; false when there was none.
  bool ProcessMessage();
#endif
  TForm* main_form_ = nullptr;
  std::string title_;
  TExceptionEvent on_exception_;
  bool terminated_ = false;
};

// The application object, made by InitializeApplication and freed by
// FinalizeApplication (with every form it owns).
TApplication* Application();
void InitializeApplication();
void FinalizeApplication();

// Runs action; an exception that leaves it goes to the application's
// exception handler. Every call from the system into the program (window
// procedures, timers) goes through here.
void CallHandlingExceptions(TComponent* sender, const std::function<void()>& action);

}  // namespace forms
