// The one-time check of the process's memory operators: the library relies on operator
// new returning a distinct non-null block for zero bytes and on deleting a null pointer
// doing nothing. A non-conforming pair only earns a warning on the debugger.
#include <new>

#include "math/direct3d_settings.h"
#include "math/math_test_hooks.h"

namespace kv {

namespace {

void *allocateWithOperatorNew(std::size_t size) { return ::operator new(size, std::nothrow); }
void releaseWithOperatorDelete(void *block) { ::operator delete(block); }

constexpr test_hooks::NewDeleteFunctions kProcessOperators = {&allocateWithOperatorNew, &releaseWithOperatorDelete};

test_hooks::NewDeleteFunctions g_operators = kProcessOperators;
bool g_checked = false;

}  // namespace

void checkNewDelete() {
  if (g_checked) return;
  g_checked = true;

  void *first = g_operators.allocate(0);
  void *second = g_operators.allocate(0);
  const bool conforming = first && second && first != second;
  if (first) g_operators.release(first);
  if (second && second != first) g_operators.release(second);
  g_operators.release(nullptr);

  if (!conforming) {
    OutputDebugStringA(
        "kvPolygon: (WARN) Overloaded ::new and ::delete operators do not conform to C++ standards:\r\n");
    OutputDebugStringA(
        "kvPolygon: (WARN) An allocation of zero bytes should return a unique non-null pointer to at\r\n");
    OutputDebugStringA(
        "kvPolygon: (WARN) least zero bytes. Deletion of a null pointer should quietly do nothing.\r\n");
    OutputDebugStringA("kvPolygon: (WARN) kvPolygon relies upon this behavior.\r\n");
  }
}

namespace test_hooks {

void setNewDeleteFunctions(const NewDeleteFunctions *functions) {
  g_operators = functions ? *functions : kProcessOperators;
}

void resetNewDeleteCheck() { g_checked = false; }

}  // namespace test_hooks

}  // namespace kv
