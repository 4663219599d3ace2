// The capabilities the software device reports, and the override tests may set.
#pragma once

#include <d3d9.h>

namespace kvd3d {

// What an honest fixed-function software device can do (no shaders, one render target).
D3DCAPS9 defaultCaps();

// The capabilities in force: the test override if one is set, else the defaults, stamped
// with the device type and adapter they describe.
D3DCAPS9 currentCaps(D3DDEVTYPE type);

}  // namespace kvd3d
