// A contact sheet: every level, face or slice of a file in one image, each labelled in a
// small built-in font; a cube map as a cross per level.
#include <algorithm>
#include <cstring>

#include "kvtex.h"

namespace kvtex {
namespace {

constexpr uint32_t kGap = 4;          // between cells; twice that between blocks
constexpr uint32_t kLabelHeight = 9;  // the strip above each cell: 5-pixel glyphs, 2 above and below
constexpr uint32_t kBackground = 0xFF303030u;
constexpr uint32_t kInk = 0xFFFFFFFFu;

// 3x5 glyphs, one row a byte, the left column the 4 bit.
struct Glyph {
  char c;
  uint8_t rows[5];
};
constexpr Glyph kFont[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 3, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 2, 2}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'+', {0, 2, 7, 2, 0}}, {'-', {0, 0, 7, 0, 0}},
    {'X', {5, 5, 2, 5, 5}}, {'Y', {5, 5, 2, 2, 2}}, {'Z', {7, 1, 2, 4, 7}}, {'L', {4, 4, 4, 4, 7}},
    {'S', {7, 4, 7, 1, 7}}, {'F', {7, 4, 6, 4, 4}}, {' ', {0, 0, 0, 0, 0}},
};

void drawText(std::vector<uint32_t> &sheet, uint32_t sheetWidth, uint32_t x, uint32_t y, const std::string &text) {
  for (const char c : text) {
    const auto glyph = std::find_if(std::begin(kFont), std::end(kFont), [c](const Glyph &g) { return g.c == c; });
    if (glyph != std::end(kFont)) {
      for (uint32_t row = 0; row < 5; ++row) {
        for (uint32_t column = 0; column < 3; ++column) {
          if (glyph->rows[row] >> (2 - column) & 1) sheet[size_t(y + row) * sheetWidth + x + column] = kInk;
        }
      }
    }
    x += 4;
  }
}

}  // namespace

std::vector<SheetBlock> sheetBlocks(const kv::DecodedImage &top, std::vector<std::string> &problems,
                                    const std::function<HRESULT(const kv::DecodedImage &, uint32_t,
                                                                std::vector<uint32_t> &)> &toArgb) {
  static constexpr const char *kFaceNames[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
  // Where each face sits in the cross: +Y above +Z, -Y below, -X +Z +X -Z across.
  static constexpr uint32_t kCross[6][2] = {{2, 1}, {0, 1}, {1, 0}, {1, 2}, {1, 1}, {3, 1}};
  std::vector<const kv::DecodedImage *> faces;
  for (const kv::DecodedImage *f = &top; f && faces.size() < 6; f = f->nextFace) faces.push_back(f);
  const bool cube = top.resourceType == D3DRTYPE_CUBETEXTURE && faces.size() == 6;
  const bool volume = top.resourceType == D3DRTYPE_VOLUMETEXTURE;
  std::vector<SheetBlock> blocks;
  for (uint32_t level = 0;; ++level) {
    SheetBlock block;
    for (size_t f = 0; f < (cube ? 6 : 1); ++f) {
      const kv::DecodedImage *record = faces[f];
      for (uint32_t i = 0; i < level && record; ++i) record = record->nextMip;
      if (!record) break;
      const uint32_t depth = volume ? std::max(1u, record->depth) : 1;
      for (uint32_t z = 0; z < depth; ++z) {
        SheetCell cell;
        cell.width = record->width;
        cell.height = record->height;
        cell.label = "L" + std::to_string(level);
        if (cube) cell.label = std::string(kFaceNames[f]) + " " + cell.label;
        if (volume) cell.label += " S" + std::to_string(z);
        cell.column = cube ? kCross[f][0] : z;
        cell.row = cube ? kCross[f][1] : 0;
        if (FAILED(toArgb(*record, z, cell.argb))) {
          problems.push_back("cannot convert " + cell.label);
          cell.argb.assign(size_t(cell.width) * cell.height, 0);
        }
        block.cells.push_back(std::move(cell));
      }
    }
    if (block.cells.empty()) break;
    blocks.push_back(std::move(block));
  }
  return blocks;
}

std::vector<uint32_t> layoutSheet(const std::vector<SheetBlock> &blocks, bool vertical, uint32_t &width,
                                  uint32_t &height) {
  struct Placed {
    uint32_t cellWidth = 0, cellHeight = 0, columns = 0, rows = 0, x = 0, y = 0;
  };
  std::vector<Placed> placed(blocks.size());
  uint32_t along = kGap, across = 0;
  for (size_t b = 0; b < blocks.size(); ++b) {
    Placed &p = placed[b];
    for (const SheetCell &c : blocks[b].cells) {
      p.cellWidth = std::max({p.cellWidth, c.width, uint32_t(c.label.size() * 4 + 1)});
      p.cellHeight = std::max(p.cellHeight, c.height + kLabelHeight);
      p.columns = std::max(p.columns, c.column + 1);
      p.rows = std::max(p.rows, c.row + 1);
    }
    const uint32_t w = p.columns * p.cellWidth + (p.columns - 1) * kGap;
    const uint32_t h = p.rows * p.cellHeight + (p.rows - 1) * kGap;
    p.x = vertical ? kGap : along;
    p.y = vertical ? along : kGap;
    along += (vertical ? h : w) + 2 * kGap;
    across = std::max(across, vertical ? w : h);
  }
  width = vertical ? across + 2 * kGap : along - kGap;
  height = vertical ? along - kGap : across + 2 * kGap;
  std::vector<uint32_t> sheet(size_t(width) * height, kBackground);
  for (size_t b = 0; b < blocks.size(); ++b) {
    const Placed &p = placed[b];
    for (const SheetCell &c : blocks[b].cells) {
      const uint32_t x = p.x + c.column * (p.cellWidth + kGap), y = p.y + c.row * (p.cellHeight + kGap);
      drawText(sheet, width, x + 1, y + 2, c.label);
      for (uint32_t row = 0; row < c.height; ++row) {
        std::memcpy(&sheet[size_t(y + kLabelHeight + row) * width + x], &c.argb[size_t(row) * c.width],
                    size_t(c.width) * 4);
      }
    }
  }
  return sheet;
}

}  // namespace kvtex
