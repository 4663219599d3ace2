// The routine sets of the math table and how each is laid over the table.
//
// The portable routine list holds a baseline routine for every slot. The set-up copies
// it into the table and then lets at most one processor-specific path replace some of
// its slots. Benchmarks and tests build tables of their own from the same pieces to
// compare the sets side by side.
#pragma once

#include "math/table/dispatch_table.h"

namespace kv {

// The baseline routine of every slot, in slot order.
const MathDispatchTable &portableRoutineList();

// True when this build carries the SSE and SSE2 routines (x86 targets only).
bool simdRoutinesBuilt();

// Lay a set over a table (each writes only the slots its set replaces).
void installSseRoutines(MathDispatchTable &table);
void installSse2Routines(MathDispatchTable &table);
void install3DNowRoutines(MathDispatchTable &table);
void installExtended3DNowRoutines(MathDispatchTable &table);
void installSseArrayRoutines(MathDispatchTable &table);

}  // namespace kv
