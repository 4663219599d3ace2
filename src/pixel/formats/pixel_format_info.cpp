#include "pixel/formats/pixel_format_info.h"

#include "gfx/platform.h"

namespace kv {

namespace {

constexpr uint32_t fourCc(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

constexpr FormatClass kRgb = FormatClass::Rgb;
constexpr FormatClass kPal = FormatClass::Palette;
constexpr FormatClass kLum = FormatClass::Luminance;
constexpr FormatClass kSig = FormatClass::Signed;
constexpr FormatClass kDep = FormatClass::DepthStencil;

// format, class, bpp, extra, A, R/W, G/V, B/U, candidate. The order matters: the
// substitute-format search walks the rows in this order.
constexpr PixelFormatInfo kTable[kPixelFormatCount] = {
    {20, kRgb, 24, 0, 0, 8, 8, 8, 0},                  // R8G8B8
    {21, kRgb, 32, 0, 8, 8, 8, 8, 1},                  // A8R8G8B8
    {22, kRgb, 32, 0, 0, 8, 8, 8, 1},                  // X8R8G8B8
    {23, kRgb, 16, 0, 0, 5, 6, 5, 1},                  // R5G6B5
    {24, kRgb, 16, 0, 0, 5, 5, 5, 1},                  // X1R5G5B5
    {40, kPal, 16, 0, 8, 8, 8, 8, 1},                  // A8P8
    {41, kPal, 8, 0, 8, 8, 8, 8, 1},                   // P8
    {25, kRgb, 16, 0, 1, 5, 5, 5, 1},                  // A1R5G5B5
    {26, kRgb, 16, 0, 4, 4, 4, 4, 1},                  // A4R4G4B4
    {27, kRgb, 8, 0, 0, 3, 3, 2, 1},                   // R3G3B2
    {28, kRgb, 8, 0, 8, 0, 0, 0, 1},                   // A8
    {29, kRgb, 16, 0, 8, 3, 3, 2, 1},                  // A8R3G3B2
    {30, kRgb, 16, 0, 0, 4, 4, 4, 1},                  // X4R4G4B4
    {31, kRgb, 32, 0, 2, 10, 10, 10, 1},               // A2B10G10R10
    {32, kRgb, 32, 0, 8, 8, 8, 8, 1},                  // A8B8G8R8
    {33, kRgb, 32, 0, 0, 8, 8, 8, 1},                  // X8B8G8R8
    {34, kRgb, 32, 0, 0, 16, 16, 0, 1},                // G16R16
    {35, kRgb, 32, 0, 2, 10, 10, 10, 1},               // A2R10G10B10
    {36, kRgb, 64, 0, 16, 16, 16, 16, 1},              // A16B16G16R16
    {50, kLum, 8, 0, 0, 8, 8, 8, 1},                   // L8
    {51, kLum, 16, 0, 8, 8, 8, 8, 1},                  // A8L8
    {52, kLum, 8, 0, 4, 4, 4, 4, 1},                   // A4L4
    {81, kLum, 16, 0, 0, 16, 16, 16, 1},               // L16
    {60, kSig, 16, 0, 0, 0, 8, 8, 1},                  // V8U8
    {61, kSig, 16, 6, 0, 0, 5, 5, 1},                  // L6V5U5
    {62, kSig, 32, 8, 0, 0, 8, 8, 1},                  // X8L8V8U8
    {63, kSig, 32, 0, 8, 8, 8, 8, 1},                  // Q8W8V8U8
    {64, kSig, 32, 0, 0, 0, 16, 16, 1},                // V16U16
    {67, kSig, 32, 2, 0, 10, 10, 10, 1},               // A2W10V10U10
    {110, kSig, 64, 0, 16, 16, 16, 16, 1},             // Q16W16V16U16
    {117, kSig, 16, 8, 0, 0, 8, 8, 0},                 // CxV8U8
    {fourCc('U', 'Y', 'V', 'Y'), kRgb, 16, 0, 0, 8, 8, 8, 0},
    {fourCc('R', 'G', 'B', 'G'), kRgb, 16, 0, 0, 8, 8, 8, 0},  // R8G8_B8G8
    {fourCc('Y', 'U', 'Y', '2'), kRgb, 16, 0, 0, 8, 8, 8, 0},
    {fourCc('G', 'R', 'G', 'B'), kRgb, 16, 0, 0, 8, 8, 8, 0},  // G8R8_G8B8
    {fourCc('D', 'X', 'T', '1'), kRgb, 16, 0, 1, 5, 6, 5, 0},
    {fourCc('D', 'X', 'T', '2'), kRgb, 16, 0, 4, 5, 6, 5, 0},
    {fourCc('D', 'X', 'T', '3'), kRgb, 16, 0, 4, 5, 6, 5, 0},
    {fourCc('D', 'X', 'T', '4'), kRgb, 16, 0, 8, 5, 6, 5, 0},
    {fourCc('D', 'X', 'T', '5'), kRgb, 16, 0, 8, 5, 6, 5, 0},
    {70, kDep, 16, 1, 0, 0, 0, 16, 1},                 // D16_LOCKABLE
    {82, kDep, 32, 1, 0, 0, 0, 32, 0},                 // D32F_LOCKABLE
    {71, kDep, 32, 0, 0, 0, 0, 32, 1},                 // D32
    {73, kDep, 16, 0, 0, 0, 1, 15, 1},                 // D15S1
    {75, kDep, 32, 0, 0, 0, 8, 24, 1},                 // D24S8
    {80, kDep, 16, 0, 0, 0, 0, 16, 1},                 // D16
    {77, kDep, 32, 0, 0, 0, 0, 24, 1},                 // D24X8
    {79, kDep, 32, 0, 0, 0, 4, 24, 1},                 // D24X4S4
    {83, kDep, 32, 0, 0, 0, 8, 24, 0},                 // D24FS8
    {111, kRgb, 16, 0, 0, 16, 0, 0, 0},                // R16F
    {112, kRgb, 32, 0, 0, 16, 16, 0, 0},               // G16R16F
    {113, kRgb, 64, 0, 16, 16, 16, 16, 0},             // A16B16G16R16F
    {114, kRgb, 32, 0, 0, 32, 0, 0, 0},                // R32F
    {115, kRgb, 64, 0, 0, 32, 32, 0, 0},               // G32R32F
    {116, kRgb, 128, 0, 32, 32, 32, 32, 0},            // A32B32G32R32F
    {FMT_A16L16, kLum, 32, 0, 16, 16, 16, 16, 0},
    {FMT_R16G16B16, kRgb, 48, 0, 0, 16, 16, 16, 0},
};

constexpr PixelFormatInfo kUnknownFormat = {0, kRgb, 32, 0, 8, 8, 8, 8, 0};

}  // namespace

const uint8_t kFormatClassCompatibility[kFormatClassCount][kFormatClassCount] = {
    // Rgb, Palette, Luminance, Signed, DepthStencil
    {1, 0, 0, 0, 0},  // wanted Rgb
    {1, 1, 0, 0, 0},  // wanted Palette
    {1, 0, 1, 0, 0},  // wanted Luminance
    {0, 0, 0, 1, 0},  // wanted Signed
    {0, 0, 0, 0, 1},  // wanted DepthStencil
};

const PixelFormatInfo *pixelFormatTable() { return kTable; }

const PixelFormatInfo &lookupFormatInfo(uint32_t format) {
  for (const PixelFormatInfo &row : kTable) {
    if (row.format == format) return row;
  }
  return kUnknownFormat;
}

}  // namespace kv
