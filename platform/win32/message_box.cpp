// User-interface services: the foreground window and message boxes. There is no window
// system behind the stand-in, so a message box is one line on standard error, recorded for tests.
#include <windows.h>

#include <cstdio>

#include "recent_records.h"
#include "testing/win32_control.h"

namespace {

struct WindowAnchor {
  int unused;
};
WindowAnchor g_window;  // the address serves as the fixed, non-null foreground window

HWND &foregroundWindow() {
  static HWND window = reinterpret_cast<HWND>(&g_window);
  return window;
}

kvwin32::RecentRecords<kvtest::MessageBoxCall> &messageBoxLog() {
  static kvwin32::RecentRecords<kvtest::MessageBoxCall> log;
  return log;
}

}  // namespace

extern "C" HWND WINAPI GetForegroundWindow(void) { return foregroundWindow(); }

extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  const char *text = lpText ? lpText : "";
  const char *caption = lpCaption ? lpCaption : "Error";
  std::fprintf(stderr, "%s: %s\n", caption, text);
  messageBoxLog().add({hWnd, text, caption, uType});
  return IDOK;
}

namespace kvtest {

std::vector<MessageBoxCall> messageBoxes() { return messageBoxLog().list(); }
void clearMessageBoxes() { messageBoxLog().clear(); }
void setForegroundWindow(HWND window) { foregroundWindow() = window; }
HWND defaultForegroundWindow() { return reinterpret_cast<HWND>(&g_window); }

}  // namespace kvtest
