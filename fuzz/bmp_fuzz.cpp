// The BMP reader alone (see reader_fuzz.h).
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return kvfuzz::runReader(kv::readBmp, kv::ImageFileFormat::Bmp, data, size);
}
