// Test-only hooks of the math subsystem: put the process-wide state back to "never run"
// and replace what the processor and the memory operators report. The library itself
// never calls these.
#pragma once

#include <cstddef>

#include "math/table/processor_detection.h"

namespace kv::test_hooks {

// The table back to its first-call stubs and MathVariant back to 0xFFFF.
void resetMathDispatch();

// Replaces the identification instruction; null restores the real one. Returns the
// function that was in force.
CpuidFunction setCpuidFunction(CpuidFunction function);

// The allocation pair the memory-operator check exercises; null restores the process's
// operator new and operator delete.
struct NewDeleteFunctions {
  void *(*allocate)(std::size_t size);
  void (*release)(void *block);
};
void setNewDeleteFunctions(const NewDeleteFunctions *functions);

// Lets checkNewDelete run again.
void resetNewDeleteCheck();

// The MMX state back to "not yet tested".
void resetMmxState();

// The mute value back to 0, both DebugSetMute entries back to "not found" and the
// do-not-mute setting back to "not read".
void resetDebugMuteState();

}  // namespace kv::test_hooks
