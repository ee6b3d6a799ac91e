// CTSHelpButtonCtrl: the help button. It holds the help settings as
// automation properties, turns a click or a method call into a request to
// its help engine (created on the first request, owned by the control) and
// persists its properties through the property exchange.
//
// Methods 17 to 35 are also member functions that the module exports by
// name for hosts that call the object directly; texts are ANSI there.
#ifndef TIPCASTER_CONTROL_H
#define TIPCASTER_CONTROL_H

#include <cstdint>
#include <memory>
#include <string>

#include "engine.h"
#include "framework/olecontrol.h"

class CTSHelpButtonCtrl : public com::OleControl {
 public:
  CTSHelpButtonCtrl();

  // Commands: what a click does.
  enum Command : int32_t {
    kShowTopic = 0,
    kActivePopup = 1,
    kTextPopup = 2,
    kContents = 3,
    kIndex = 4,
    kSearch = 5,
    kKeyword = 6,
    kALink = 7,
    kSkyrelayTopic = 8,
    kSkyrelayPopup = 9,
    kJavaHelpTopic = 10,
    kSkyrelayFrameset = 11,
  };

  int ShowHelp(HWND window);
  int ShowHelpEx(HWND window, int32_t ctrlID, const char *mapFile, const char *windowClass, const char *topic,
                 const char *keywords, int32_t command);

 protected:
  int ShowTextPopup(long ctxNum, long hWnd);
  int ShowActivePopup(long ctxNum, int skyrelay);
  int ShowHTMLHelpTopicId(long ctxNum, const char *wndClass);
  int ShowHTMLHelpTopic(const char *topic, const char *wndClass);
  int SetMapFile(const char *mapFile);
  void ShowAKeyword(const char *keywords, const char *wndClass);
  void ShowKeyword(const char *keywords, const char *wndClass);
  void ShowHTMLHelpContents(const char *wndClass);
  void ShowHTMLHelpIndex(const char *wndClass);
  void ShowHTMLHelpSearch(const char *wndClass);
  void ShowSkyrelayTopicId(long ctrl_id);
  void ShowSkyrelayTopic(const char *topic);
  void SetJavaHelpSettings(long java_version, const char *java_path, const char *javahelp_path,
                           const char *tipcaster_path, const char *helpset_file, const char *jar_file);
  void ShowJavaHelpTopic(const char *topic_id);
  void ShowSkyrelayTopicId2(long ctrl_id);
  void ShowSkyrelayTopic2(const char *topic);
  int ShowActivePopup2(const char *topic, int skyrelay);
  void ShowSkyrelayTopicIdSub2(long ctrl_id);
  void ShowSkyrelayTopicSub2(const char *topic);

 private:
  struct Property;
  static const Property kProperties[];

  ~CTSHelpButtonCtrl() override;

  void DoPropExchange(com::PropertyExchange &exchange) override;
  HRESULT InvokeMember(DISPID id, WORD flags, com::DispatchArgs &args, VARIANT *result) override;
  LRESULT OnCommand(WPARAM notification) override;
  HRESULT InvokeMethod(DISPID id, com::DispatchArgs &args, VARIANT *result);

  // The shared steps of methods 17 to 35: the map-file warning, the engine,
  // and its target (a null topic keeps the engine's topic).
  CTSHelpEngine &Target(int32_t context, const std::string &windowClass, HWND window, const char *topic);
  CTSHelpEngine &Engine();
  std::string ClassOr(const char *wndClass) const;

  std::unique_ptr<CTSHelpEngine> engine_;
  std::string mapFile_;
  int32_t ctrlID_ = 0;
  std::string windowClass_;
  int32_t command_ = 0;
  std::string keywords_;
  std::string topic_;
  std::string tipcasterPath_;
  int32_t javaVersion_ = 0;
  std::string javaHelpPath_;
  std::string jrePath_;
  std::string tsjHelp_;
  std::string helpsetFile_;
  std::string jarFile_;
  int32_t view_ = 0;
};

#endif
