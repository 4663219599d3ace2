// Debugger output: with no debugger attached, the text goes to standard error as it stands.
#include <windows.h>

#include <cstdio>

#include "testing/win32_control.h"

namespace {

struct DebugOutputState {
  std::vector<std::string> lines;
  bool echo = true;
};

DebugOutputState &state() {
  static DebugOutputState s;
  return s;
}

}  // namespace

extern "C" void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  if (!lpOutputString) return;
  state().lines.emplace_back(lpOutputString);
  if (state().echo) std::fputs(lpOutputString, stderr);
}

namespace kvtest {

std::vector<std::string> debugOutput() { return state().lines; }
void clearDebugOutput() { state().lines.clear(); }
void setDebugOutputEcho(bool echo) { state().echo = echo; }

}  // namespace kvtest
