// Device-independent bitmaps (the pixel rows of a .bmp file) as cairo images.
#pragma once

#include <cstddef>
#include <span>

#include "platform/device_context.h"
#include "platform/posix/print/cairo_handles.h"

namespace vorn::platform::posix {

// Largest width or height accepted (cairo's image limit).
inline constexpr int kMaxDibSide = 32767;

// An RGB image of header's size from `bits`, laid out as `info` (a 40-byte
// info header followed by the colour table, or by the three colour masks of
// BI_BITFIELDS) describes them: 1, 4, 8, 16, 24 or 32 bits per pixel,
// uncompressed (16 bits without masks are 5-5-5), rows bottom-up (positive
// height) or top-down (negative height), each row padded to 4 bytes. Null
// when the description is unsupported, the sizes disagree or `bits` is too
// short; nothing outside the given spans is read. Colour indexes beyond the
// colour table give black.
CairoSurface imageFromDib(const BitmapInfoHeader& header, std::span<const std::byte> bits,
                          std::span<const std::byte> info);

}  // namespace vorn::platform::posix
