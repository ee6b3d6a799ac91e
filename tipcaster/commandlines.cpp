#include "commandlines.h"

#include "pathstring.h"

namespace {

std::string Joined(const std::string &folder, const char *name) {
  PathString path(folder);
  path.AppendPath(name);
  return path;
}

}  // namespace

bool BuildJavaCommandLine(const JavaTemplate &tmpl, const JavaSettings &settings,
                          const std::string &topic, const FileTest &exists,
                          std::string &commandLine, std::string &missing) {
  const std::string runtime = settings.javaVersion != 0 ? tmpl.oldRuntime : tmpl.newRuntime;
  const std::string checked[] = {Joined(settings.jrePath, runtime.c_str()),
                                 Joined(settings.viewerArchivePath, "Tipcaster.jar"),
                                 Joined(settings.javaHelpPath, "jh.jar"), settings.helpsetFile};
  for (const std::string &path : checked) {
    if (!exists(path)) {
      missing = path;
      return false;
    }
  }
  const std::string swing =
      settings.javaVersion == 1 ? Joined(settings.javaHelpPath, "swingall.jar") : std::string();

  PathString line(tmpl.text);
  line.SubstituteArg(checked[0], 1);
  line.SubstituteArg(checked[1], 2);
  line.SubstituteArg(settings.projectArchive, 3);
  line.SubstituteArg(checked[2], 4);
  line.SubstituteArg(swing, 5);
  line.SubstituteArg(checked[3], 6);
  line.SubstituteArg(topic, 7);
  commandLine = line;
  return true;
}

std::string BrowserCommandLine(const std::string &program, const std::string &argument) {
  return "\"" + program + "\" \"" + argument + "\"";
}
