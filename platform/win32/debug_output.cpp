// Debugger output: with no debugger attached, the text goes to standard error as it stands.
#include <windows.h>

#include <cstdio>

#include "recent_records.h"
#include "testing/win32_control.h"

namespace {

struct DebugOutputState {
  kvwin32::RecentRecords<std::string> lines;
  bool echo = true;
};

DebugOutputState &state() {
  static DebugOutputState s;
  return s;
}

}  // namespace

extern "C" void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  if (!lpOutputString) return;
  state().lines.add(lpOutputString);
  if (state().echo) std::fputs(lpOutputString, stderr);
}

namespace kvtest {

std::vector<std::string> debugOutput() { return state().lines.list(); }
void clearDebugOutput() { state().lines.clear(); }
void setDebugOutputEcho(bool echo) { state().echo = echo; }

}  // namespace kvtest
