// A help-system library loaded in place of the system's HTML Help: its
// entry point (ordinal 14) records each call with the fields of the record
// the command carries, and shows nothing.
#include "standin_log.h"

#include <htmlhelp.h>

namespace {

std::string Number(long long value) { return std::to_string(value); }

std::string Describe(UINT command, DWORD_PTR data) {
  switch (command) {
    case HH_DISPLAY_TEXT_POPUP: {
      const auto *popup = reinterpret_cast<const HH_POPUP *>(data);
      return Number(popup->cbStruct) + "|" + Number(reinterpret_cast<intptr_t>(popup->hinst)) + "|" +
             Number(popup->idString) + "|" + TextOrNull(popup->pszText) + "|" +
             Number(static_cast<int>(popup->clrForeground)) + "|" + Number(static_cast<int>(popup->clrBackground)) +
             "|" + Number(popup->rcMargins.left) + "," + Number(popup->rcMargins.top) + "," +
             Number(popup->rcMargins.right) + "," + Number(popup->rcMargins.bottom) + "|" +
             TextOrNull(popup->pszFont);
    }
    case HH_KEYWORD_LOOKUP:
    case HH_ALINK_LOOKUP: {
      const auto *link = reinterpret_cast<const HH_AKLINK *>(data);
      return Number(link->cbStruct) + "|" + Number(link->fReserved) + "|" + TextOrNull(link->pszKeywords) + "|" +
             TextOrNull(link->pszUrl) + "|" + TextOrNull(link->pszMsgText) + "|" + TextOrNull(link->pszMsgTitle) +
             "|" + TextOrNull(link->pszWindow) + "|" + Number(link->fIndexOnFail);
    }
    case HH_DISPLAY_SEARCH: {
      const auto *query = reinterpret_cast<const HH_FTS_QUERY *>(data);
      return Number(query->cbStruct) + "|" + Number(query->fUniCodeStrings) + "|" +
             TextOrNull(query->pszSearchQuery) + "|" + Number(query->iProximity) + "|" +
             Number(query->fStemmedSearch) + "|" + Number(query->fTitleOnly) + "|" + Number(query->fExecute) +
             "|" + TextOrNull(query->pszWindow);
    }
    default:
      return Number(static_cast<long long>(data));
  }
}

}  // namespace

extern "C" __declspec(dllexport) HWND WINAPI HtmlHelpA(HWND owner, LPCSTR file, UINT command, DWORD_PTR data) {
  AppendStandinRecord("htmlhelp|" + std::string(owner ? "owner" : "no-owner") + "|" + TextOrNull(file) + "|" +
                      Number(command) + "|" + Describe(command, data));
  return nullptr;
}
