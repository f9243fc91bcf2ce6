// A 5x7 pixel font for printable ASCII, small enough to live in the source, so that the test
// pattern needs no font library.
#pragma once

#include <array>
#include <cstdint>

namespace host::encoder {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
// A character cell leaves one blank column and one blank row around the glyph.
inline constexpr int kCellWidth = kGlyphWidth + 1;
inline constexpr int kCellHeight = kGlyphHeight + 1;

// The glyph's columns from left to right; bit 0 is the top row. Characters outside printable
// ASCII show as '?'.
const std::array<uint8_t, kGlyphWidth>& GlyphColumns(char c);

} // namespace host::encoder
