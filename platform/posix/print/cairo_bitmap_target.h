// Drawing into the bitmap selected into a memory device, with cairo.
#pragma once

#include <memory>

#include "platform/posix/print/cairo_handles.h"
#include "platform/posix/print/drawing_target.h"

namespace vorn::platform::posix {

class CairoBitmapTarget final : public DrawingTarget {
 public:
  // Draws into `bitmap`'s image; null when cairo cannot draw into it.
  static std::unique_ptr<CairoBitmapTarget> create(std::shared_ptr<BitmapObject> bitmap);

  void fillRectangle(const DrawingRectangle& area, bool white) override;
  void showText(const DeviceFont& font, std::string_view text, double x, double baseline) override;
  void drawBitmap(const std::shared_ptr<BitmapObject>& bitmap, double x, double y,
                  const std::optional<DrawingRectangle>& clip) override;
  bool failed() const override;

 private:
  CairoBitmapTarget(std::shared_ptr<BitmapObject> bitmap, CairoContext cr)
      : bitmap_(std::move(bitmap)), cr_(std::move(cr)) {}

  std::shared_ptr<BitmapObject> bitmap_;
  CairoContext cr_;
  std::vector<cairo_glyph_t> glyphs_;  // reused for every run
};

}  // namespace vorn::platform::posix
