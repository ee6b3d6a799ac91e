// The command lines of the programs the control starts: the JavaHelp viewer
// in a Java runtime, filled in from a template, and the web browser. Program
// paths and path arguments are quoted, so folders with blanks work and
// Windows never tries a shorter program name.
#ifndef TIPCASTER_COMMANDLINES_H
#define TIPCASTER_COMMANDLINES_H

#include <cstdint>
#include <functional>
#include <string>

// The JavaHelp settings of the control; Java version 0 is a Java 1.2
// runtime (javaw.exe), any other an older one (jrew.exe), 1 the one that
// needs swingall.jar.
struct JavaSettings {
  int32_t javaVersion = 0;
  std::string jrePath;
  std::string javaHelpPath;
  std::string viewerArchivePath;
  std::string helpsetFile;
  std::string projectArchive;
};

// The runtime's file names (the control's string table holds them and the
// template) and the file test the builder uses.
struct JavaTemplate {
  std::string text;  // "%%1" ... "%%7" placeholders
  std::string newRuntime;  // for Java version 0
  std::string oldRuntime;
};
using FileTest = std::function<bool(const std::string &path)>;

// Fills the template for a topic. When the runtime, the viewer archive,
// jh.jar or the helpset does not exist, returns false with that path in
// missing.
bool BuildJavaCommandLine(const JavaTemplate &tmpl, const JavaSettings &settings,
                          const std::string &topic, const FileTest &exists,
                          std::string &commandLine, std::string &missing);

// "program" "argument"
std::string BrowserCommandLine(const std::string &program, const std::string &argument);

#endif
