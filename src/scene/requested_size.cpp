#include "scene/requested_size.h"

namespace kv {

BackBufferSize &requestedBackBufferSize() {
  static BackBufferSize size;
  return size;
}

}  // namespace kv
