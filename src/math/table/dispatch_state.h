// The set-up's own record, shared by the table and its set-up (not for callers).
#pragma once

#include <windows.h>

#include "math/table/dispatch_table.h"

namespace kv {

extern DWORD g_mathVariant;
extern DWORD g_installedMathRoutineGroups;

// The first-call stub of every slot.
const MathDispatchTable &firstCallStubs();

}  // namespace kv
