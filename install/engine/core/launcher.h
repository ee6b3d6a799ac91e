// TProgramLauncher: starts a program with parameters and a window state and
// waits until it is ready for input (not until it ends). A program that
// cannot be started raises EProgramLauncherFailed with a launch error code.
#pragma once

#include <cstdint>
#include <string>

#include "classes.h"

namespace install {

enum TplShowMode : uint8_t { smNormal, smMaximized, smMinimized, smHide };

// The text of a launch error code (0-31); "Unknown error" for others.
std::string LauncherErrorMessage(int code);
// The command line a started program sees: its quoted path, a blank and
// the parameters, so that the parameters arrive as its arguments.
std::string LauncherCommandLine(const std::string& file_name, const std::string& parameters);
// Raises EProgramLauncherFailed with the code and its text.
[[noreturn]] void RaiseLauncherError(int code);

class TProgramLauncher : public forms::TComponent {
  FORMS_CLASS(TProgramLauncher)
public:
#ifdef _WIN32
  // Starts FileName with Parameters in ShowMode.
  void Execute();
#endif

  std::string Action() const { return action_; }
  void SetAction(const std::string& v) { action_ = v; }
  std::string FileName() const { return file_name_; }
  void SetFileName(const std::string& v) { file_name_ = v; }
  std::string Parameters() const { return parameters_; }
  void SetParameters(const std::string& v) { parameters_ = v; }
  TplShowMode ShowMode() const { return show_mode_; }
  void SetShowMode(TplShowMode v) { show_mode_ = v; }
  std::string StartDir() const { return start_dir_; }
  void SetStartDir(const std::string& v) { start_dir_ = v; }
  int32_t Timeout() const { return timeout_; }
  void SetTimeout(int32_t v) { timeout_ = v; }
  bool Wait() const { return wait_; }
  void SetWait(bool v) { wait_ = v; }

private:
  std::string action_ = "Open";
  std::string file_name_;
  std::string parameters_;
  TplShowMode show_mode_ = smNormal;
  std::string start_dir_;
  int32_t timeout_ = -1;
  bool wait_ = true;
};

}  // namespace install
