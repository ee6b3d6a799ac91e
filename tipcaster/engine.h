// CTSHelpEngine carries out the help requests of the help button: it holds
// the target of the current request (map file, context number, window
// class, owner window, topic), reads the map file, and drives the help
// systems: HTML Help (loaded at run time), the popup control, the viewer
// window, the web browser and the JavaHelp viewer process. Every failure is
// shown in a message box captioned "Error"; no operation returns an error.
#ifndef TIPCASTER_ENGINE_H
#define TIPCASTER_ENGINE_H

#include <windows.h>

#include <cstdint>

#include "commandlines.h"
#include "mapfile.h"
#include "pathstring.h"

class CTSHelpEngine {
 public:
  enum class ViewerStop { Quit, NewHelpset };

  CTSHelpEngine();
  ~CTSHelpEngine();
  CTSHelpEngine(const CTSHelpEngine &) = delete;
  CTSHelpEngine &operator=(const CTSHelpEngine &) = delete;

  // A null topic keeps the topic of an earlier request.
  void SetTarget(const char *mapFile, int32_t context, const char *windowClass, HWND owner,
                 const char *topic);

  // HTML Help routes.
  void ShowTopic();
  void ShowTextPopup();
  void ShowKeyword(const char *keywords, bool aKeyword);
  void ShowContents();
  void ShowIndex();
  void ShowSearch();

  // The popup control, the viewer window and the browser.
  void ShowActivePopup(bool skyrelay);
  void ShowSkyrelayTopic();
  void ShowSkyrelayTopicEx(bool secondary);

  // The JavaHelp viewer.
  void SetJavaSettings(int32_t javaVersion, const char *jrePath, const char *javaHelpPath,
                       const char *viewerArchivePath, const char *helpsetFile, const char *projectArchive,
                       const char *topic);
  void ShowJavaHelp();
  void StopJavaViewer(ViewerStop kind);

 private:
  // The map file through the system's profile functions.
  class ProfileSource : public MapSource {
   public:
    explicit ProfileSource(const CTSHelpEngine &engine) : engine_(engine) {}
    std::string Read(const std::string &section, const std::string &key) const override;

   private:
    const CTSHelpEngine &engine_;
  };

  static bool FileExists(const std::string &path);
  void LoadHtmlHelp();
  void CallHtmlHelp(const std::string &path, UINT command, DWORD_PTR data);
  const PathString &GetCompiledFile();
  const PathString &GetPopupFile();
  bool LookupContext(MapTopic &entry) const;
  // The checks before every route; false when the route stops.
  bool MapFileExists() const;
  bool HtmlHelpReady(const char *noCompiledFileMessage);
  bool TopicOfContext(MapTopic &entry) const;  // with the missing-topic message
  void ShowMissingTopic() const;
  PathString WithWindowSuffix(const PathString &path) const;
  void ShowNavigation(UINT command);

  void NotifySkyrelayViewer(const std::string &mapFile, const std::string &topicName, int32_t context,
                            bool popup);
  bool SkyrelayTopic(PathString &topic);
  bool FindBrowser(const PathString &page, std::string &program, const std::string &shownOnFailure);
  bool OpenByDde(const std::string &program, const std::string &page);
  static void StartProgram(const std::string &commandLine);

  bool ViewerRunning() const;
  void WriteToViewer(const std::string &text);
  void StartJavaViewer(const std::string &commandLine);
  void ForgetViewer();

  using HtmlHelpFunction = HWND(WINAPI *)(HWND, LPCSTR, UINT, DWORD_PTR);
  HMODULE htmlHelpModule_ = nullptr;
  HtmlHelpFunction htmlHelp_ = nullptr;
  PathString mapFile_;
  PathString windowClass_;
  HWND owner_ = nullptr;
  int32_t context_ = 0;
  PathString compiledFile_;
  PathString baseFolder_;
  PathString popupFile_;
  PathString topic_;
  PathString popupFont_;
  JavaSettings java_;
  HANDLE viewerInput_ = nullptr;    // the write end of the viewer's standard input
  HANDLE viewerProcess_ = nullptr;  // the viewer's liveness is asked of this handle
  bool restartViewer_ = false;
  UINT viewerMessage_ = 0;
  ATOM atom_ = 0;
};

// Shows an error the way every route does: no owner, caption "Error", OK.
void ShowErrorMessage(const std::string &text);

#endif
