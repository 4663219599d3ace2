// DXT2 and DXT4 store colours multiplied by their alpha.
#pragma once

namespace kv {

void premultiplyAlpha(float pixels[16][4]);

// Back to straight alpha: alpha 0 gives black, and a channel that reaches its alpha
// (which rounding in the block can cause) saturates at 1.
void unpremultiplyAlpha(float pixels[16][4]);

}  // namespace kv
