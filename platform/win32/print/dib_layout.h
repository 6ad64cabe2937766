// What a device-independent bitmap's header says its data must hold, so that
// GDI is never handed less than it reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/device_context.h"

namespace vorn::platform::win32 {

struct DibLayout {
  std::size_t infoSize = 0;  // header and colour table
  std::size_t bitsSize = 0;  // pixel data
};

// The sizes `header` implies, or nullopt for a header GDI would not take
// (no pixels, an unknown depth, sizes that overflow).
std::optional<DibLayout> dibLayout(const BitmapInfoHeader& header);

}  // namespace vorn::platform::win32
