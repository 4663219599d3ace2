// The log of calls into the stand-in runtime that tests read through the control surface.
// Off by default; a disabled log costs one predictable branch per call.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <string>
#include <type_traits>

namespace kvd3d {

extern bool gCallLogOn;

void appendCallLog(std::string line);
// With the log on, draws also record the world matrix they were drawn with.
void appendDrawnWorld(const D3DMATRIX &world);

namespace detail {
void appendArg(std::string &line, long long value);
void appendArg(std::string &line, unsigned long long value);
void appendArg(std::string &line, double value);
void appendPointer(std::string &line, const void *pointer);

template <class T>
void formatArg(std::string &line, const T &value) {
  if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>) {
    appendPointer(line, value);
  } else if constexpr (std::is_enum_v<T>) {
    formatArg(line, static_cast<std::underlying_type_t<T>>(value));
  } else if constexpr (std::is_floating_point_v<T>) {
    appendArg(line, static_cast<double>(value));
  } else if constexpr (std::is_signed_v<T>) {
    appendArg(line, static_cast<long long>(value));
  } else {
    appendArg(line, static_cast<unsigned long long>(value));
  }
}
}  // namespace detail

// Records "Name(arg, arg, ...)": integers in decimal, floats with %g, pointers as ptr/null.
template <class... Args>
void logCall(const char *name, const Args &...args) {
  std::string line(name);
  line += '(';
  bool first = true;
  ((line += first ? "" : ", ", first = false, detail::formatArg(line, args)), ...);
  (void)first;
  line += ')';
  appendCallLog(std::move(line));
}

}  // namespace kvd3d

#define KVD3D_LOG(...)                                      \
  do {                                                      \
    if (::kvd3d::gCallLogOn) ::kvd3d::logCall(__VA_ARGS__); \
  } while (0)
