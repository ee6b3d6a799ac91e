// A web browser stand-in. Started with a page, it records its command line
// and ends. Started with "--serve-dde READY QUIT", it answers the browser
// DDE topics under its own file title, records each request, signals the
// event READY once it serves and ends when the event QUIT is set (or after
// a minute, so that a failed test leaves nothing running).
#include "standin_log.h"

#include <ddeml.h>

#include <cstring>

namespace {

DWORD g_instance;
HSZ g_service;

std::string ServiceName() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string name = path;
  name = name.substr(name.find_last_of("\\/") + 1);
  return name.substr(0, name.rfind('.'));
}

std::string HandleText(HSZ handle) {
  char text[1024] = "";
  DdeQueryStringA(g_instance, handle, text, sizeof text, CP_WINANSI);
  return text;
}

HDDEDATA CALLBACK Serve(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  switch (type) {
    case XTYP_CONNECT: {
      std::string name = HandleText(topic);
      return reinterpret_cast<HDDEDATA>(name == "WWW_OpenURL" || name == "WWW_Activate");
    }
    case XTYP_REQUEST: {
      AppendStandinRecord("dde|" + HandleText(topic) + "|" + HandleText(item) + "|" + std::to_string(format));
      static const char answer[] = "1";
      return DdeCreateDataHandle(g_instance, reinterpret_cast<LPBYTE>(const_cast<char *>(answer)), sizeof answer, 0,
                                 item, format, 0);
    }
    default:
      return nullptr;
  }
}

int ServeDde(const char *readyName, const char *quitName) {
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName);
  HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, quitName);
  if (!ready || !quit || DdeInitializeA(&g_instance, Serve, APPCLASS_STANDARD | CBF_SKIP_ALLNOTIFICATIONS, 0) !=
                             DMLERR_NO_ERROR)
    return 2;
  g_service = DdeCreateStringHandleA(g_instance, ServiceName().c_str(), CP_WINANSI);
  DdeNameService(g_instance, g_service, nullptr, DNS_REGISTER);
  SetEvent(ready);
  DWORD deadline = GetTickCount() + 60000;
  for (;;) {
    DWORD now = GetTickCount();
    if (static_cast<LONG>(deadline - now) <= 0) break;
    DWORD woke = MsgWaitForMultipleObjects(1, &quit, FALSE, deadline - now, QS_ALLINPUT);
    if (woke != WAIT_OBJECT_0 + 1) break;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  DdeNameService(g_instance, g_service, nullptr, DNS_UNREGISTER);
  DdeFreeStringHandle(g_instance, g_service);
  DdeUninitialize(g_instance);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 4 && std::strcmp(argv[1], "--serve-dde") == 0) return ServeDde(argv[2], argv[3]);
  AppendStandinRecord("browser|" + std::string(GetCommandLineA()) + "|" + std::to_string(argc - 1) + "|" +
                      (argc > 1 ? argv[1] : ""));
  return 0;
}
