// Where a device context's drawing goes: a page of the printer's PDF, or the
// bitmap selected into a memory device. Coordinates are device units (one
// unit is one printer dot or one bitmap pixel), x to the right and y down
// from the top left of the printable area.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "platform/posix/print/device_font.h"
#include "platform/posix/print/gdi_objects.h"

namespace vorn::platform::posix {

struct DrawingRectangle {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

class DrawingTarget {
 public:
  virtual ~DrawingTarget() = default;

  // A black or white rectangle.
  virtual void fillRectangle(const DrawingRectangle& area, bool white) = 0;
  // `text` (Windows-1252) in black, starting at `x` on `baseline`; each
  // character advances by the font's advance for it.
  virtual void showText(const DeviceFont& font, std::string_view text, double x, double baseline) = 0;
  // `bitmap` with its top left pixel at (x, y), one pixel per unit, no
  // smoothing; only the part inside `clip` when given.
  virtual void drawBitmap(const std::shared_ptr<BitmapObject>& bitmap, double x, double y,
                          const std::optional<DrawingRectangle>& clip) = 0;
  // Whether something drawn could not be kept.
  virtual bool failed() const = 0;
};

}  // namespace vorn::platform::posix
