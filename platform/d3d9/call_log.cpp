#include "d3d9/call_log.h"

#include "d3d9/control_state.h"

#include <cstdio>

namespace kvd3d {

bool gCallLogOn = false;

void appendCallLog(std::string line) { control().callLog.push_back(std::move(line)); }

void appendDrawnWorld(const D3DMATRIX &world) { control().drawnWorlds.push_back(world); }

namespace detail {

void appendArg(std::string &line, long long value) { line += std::to_string(value); }

void appendArg(std::string &line, unsigned long long value) { line += std::to_string(value); }

void appendArg(std::string &line, double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  line += text;
}

void appendPointer(std::string &line, const void *pointer) { line += pointer ? "ptr" : "null"; }

}  // namespace detail
}  // namespace kvd3d
