// The JSON lines every command prints: one vocabulary, file names that are not UTF-8
// escaped, failures as lines of their own.
#include <cstdio>

#include "kvtex.h"

namespace kvtex {
namespace {

bool gLinesToErrors = false;

// Length of the well-formed UTF-8 sequence at text[at], or 0.
size_t utf8Length(const std::string &text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t point = 0, least = 0;
  if ((lead & 0xE0) == 0xC0) length = 2, point = lead & 0x1F, least = 0x80;
  else if ((lead & 0xF0) == 0xE0) length = 3, point = lead & 0x0F, least = 0x800;
  else if ((lead & 0xF8) == 0xF0) length = 4, point = lead & 0x07, least = 0x10000;
  else return 0;
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    point = point << 6 | (byte(at + i) & 0x3F);
  }
  // Overlong forms, surrogates and points beyond Unicode are not well-formed either.
  if (point < least || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return 0;
  return length;
}

}  // namespace

void setLinesToErrors(bool toErrors) { gLinesToErrors = toErrors; }

void printLine(const Json &line) {
  if (gLinesToErrors) {
    emitErrors(line.dump() + '\n');
  } else {
    emitOut(line.dump() + '\n');
  }
}

std::string jsonText(const std::string &name) {
  std::string text;
  for (size_t at = 0; at < name.size();) {
    if (const size_t length = utf8Length(name, at)) {
      text.append(name, at, length);
      at += length;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(name[at++]));
      text += escaped;
    }
  }
  return text;
}

void failFile(const std::string &file, const std::string &reason, const std::string &code) {
  reportFile(file, code.empty() || reason.find(code) != std::string::npos ? reason : reason + " (" + code + ")");
  Json line{{"file", jsonText(file)}, {"error", reason}};
  if (!code.empty()) line["code"] = code;
  printLine(line);
}

std::string fourCcText(uint32_t format) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(format >> (8 * i));
    if (c < 32 || c > 126) return {};
    text += c;
  }
  return text;
}

void addFormat(Json &line, uint32_t format) {
  line["format"] = formatName(format);
  line["formatCode"] = format;
  if (std::string fourCc = fourCcText(format); !fourCc.empty()) line["fourCC"] = fourCc;
}

}  // namespace kvtex
