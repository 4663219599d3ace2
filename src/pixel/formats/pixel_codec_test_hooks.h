// Test-only: switches the vector routines of the packed formats off and on, so tests can
// hold them equal to the reference loops.
#pragma once

namespace kv {

// Whether the vector routines can run on this processor at all.
bool pixelCodecSimdAvailable();

// Off: every codec takes its reference loop. On by default.
void setPixelCodecSimdEnabled(bool enabled);

}  // namespace kv
