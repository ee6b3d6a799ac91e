#include "core/launcher.h"

#include "core/exceptions.h"

namespace install {

using namespace forms;

std::string LauncherErrorMessage(int code) {
  switch (code) {
    case 0:
    case 8: return "Out of memory";
    case 2: return "File not found";
    case 3: return "Path not found";
    case 5: return "Sharing violation";
    case 6: return "Library/Segment error";
    case 10: return "Incorrect version of windows";
    case 11: return "Invalid file";
    case 12:
    case 13: return "Invalid DOS version";
    case 14:
    case 31: return "File type has no association";
    case 15: return "Cannot load a Real-mode application";
    case 16: return "Invalid attempt to launch second instance";
    case 19: return "Cannot load a compressed executable file";
    case 20: return "Invalid dynamic link library";
    case 21: return "Application requires Win32";
    default: return "Unknown error";
  }
}

std::string LauncherCommandLine(const std::string& file_name, const std::string& parameters) {
  return "\"" + file_name + "\" " + parameters;
}

void RaiseLauncherError(int code) { throw EProgramLauncherFailed(LauncherErrorMessage(code), code); }

const ClassInfo& TProgramLauncher::StaticClass() {
  using C = TProgramLauncher;
  static const ClassInfo info{
      "TProgramLauncher", &TComponent::StaticClass(),
      [](TComponent* owner) -> TComponent* { return New<TProgramLauncher>(owner); },
      {StringProp<C>("Action", &C::Action, &C::SetAction), StringProp<C>("FileName", &C::FileName, &C::SetFileName),
       StringProp<C>("Parameters", &C::Parameters, &C::SetParameters),
       EnumProp<C, TplShowMode>("ShowMode", {"smNormal", "smMaximized", "smMinimized", "smHide"}, &C::ShowMode,
                                &C::SetShowMode, smNormal),
       StringProp<C>("StartDir", &C::StartDir, &C::SetStartDir),
       IntProp<C>("Timeout", &C::Timeout, &C::SetTimeout, -1), BoolProp<C>("Wait", &C::Wait, &C::SetWait, true)}};
  return info;
}

}  // namespace install
