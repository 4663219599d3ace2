// The routine that holds a slot whose operation has not been written yet.
//
// It reads nothing and writes nothing. An operation with an output pointer returns that
// pointer (the first argument of the result's type), so nested calls stay safe; the
// determinant returns a quiet not-a-number and the decomposition E_NOTIMPL, so the
// caller can tell that no value was computed. Every slot always holds a routine that can
// be called: a placeholder, never a null pointer.
#pragma once

#include <windows.h>

#include <limits>
#include <type_traits>

namespace kv {

template <typename Fn>
struct PlaceholderRoutine;

template <typename R, typename... A>
struct PlaceholderRoutine<R (*)(A...)> {
  static R call(A... args) {
    if constexpr (std::is_void_v<R>) {
      ((void)args, ...);
    } else if constexpr (std::is_pointer_v<R>) {
      R result = nullptr;
      bool found = false;
      (
          [&](auto arg) {
            if constexpr (std::is_same_v<decltype(arg), R>) {
              if (!found) {
                result = arg;
                found = true;
              }
            }
          }(args),
          ...);
      return result;
    } else if constexpr (std::is_same_v<R, HRESULT>) {
      ((void)args, ...);
      return E_NOTIMPL;
    } else {
      ((void)args, ...);
      return std::numeric_limits<R>::quiet_NaN();
    }
  }
};

// The placeholder for a slot, named by the slot's routine type.
template <typename Fn>
constexpr Fn placeholderRoutine = &PlaceholderRoutine<Fn>::call;

}  // namespace kv
