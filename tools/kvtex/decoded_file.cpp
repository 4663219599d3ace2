// Files read and decoded by the library's readers, a refusal said in words.
#include "kvtex.h"
#include "texload/decode_image.h"

namespace kvtex {
std::string libraryReason(HRESULT code, const std::vector<uint8_t> &data) {
  return code == kv::ERR_INVALIDDATA ? refusalReason(data) : errorText(code);
}

namespace {

// Reads and decodes the file, pixels included unless only the header is wanted (the
// texture loader decodes them too, so a file whose header reads but whose pixels do not is
// refused here as there). The failure line when it cannot: "error" says why, "code" is the
// library's code when it refused.
std::optional<Json> decodeFile(const std::string &file, Decoded &decoded, bool pixels = true) {
  auto data = readFile(file);
  if (!data || data->empty()) return Json{{"file", file}, {"error", unreadableReason(file)}};
  decoded.file = std::move(*data);
  const HRESULT hr = kv::decodeImage(decoded.image, decoded.file.data(), static_cast<uint32_t>(decoded.file.size()),
                                     &decoded.info, pixels ? TRUE : FALSE);
  if (FAILED(hr)) return Json{{"file", file}, {"error", libraryReason(hr, decoded.file)}, {"code", errorCode(hr)}};
  return std::nullopt;
}

}  // namespace

// decodeFile with the failure said on standard error.
bool decodeReported(const std::string &file, Decoded &decoded, bool pixels) {
  if (const std::optional<Json> failure = decodeFile(file, decoded, pixels)) {
    failFile(file, (*failure)["error"].get<std::string>(), failure->value("code", ""));
    return false;
  }
  return true;
}

}  // namespace kvtex
