#include "platform/posix/print/cairo_bitmap_target.h"

#include <utility>

namespace vorn::platform::posix {

std::unique_ptr<CairoBitmapTarget> CairoBitmapTarget::create(std::shared_ptr<BitmapObject> bitmap) {
  if (!bitmap) return nullptr;
  CairoContext cr(cairo_create(bitmap->image.get()));
  if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  return std::unique_ptr<CairoBitmapTarget>(new CairoBitmapTarget(std::move(bitmap), std::move(cr)));
}

void CairoBitmapTarget::fillRectangle(const DrawingRectangle& area, bool white) {
  ++bitmap_->version;
  const double level = white ? 1 : 0;
  cairo_set_source_rgb(cr_.get(), level, level, level);
  cairo_rectangle(cr_.get(), area.x, area.y, area.width, area.height);
  cairo_fill(cr_.get());
}

void CairoBitmapTarget::showText(const DeviceFont& font, std::string_view text, double x, double baseline) {
  cairo_scaled_font_t* scaled = font.scaledFont();
  font.layout(text, x, baseline, glyphs_);
  if (glyphs_.empty() || scaled == nullptr) return;
  ++bitmap_->version;
  cairo_set_source_rgb(cr_.get(), 0, 0, 0);
  cairo_set_scaled_font(cr_.get(), scaled);
  cairo_show_glyphs(cr_.get(), glyphs_.data(), static_cast<int>(glyphs_.size()));
}

void CairoBitmapTarget::drawBitmap(const std::shared_ptr<BitmapObject>& bitmap, double x, double y,
                                   const std::optional<DrawingRectangle>& clip) {
  ++bitmap_->version;
  cairo_t* cr = cr_.get();
  cairo_save(cr);
  cairo_set_source_surface(cr, bitmap->image.get(), x, y);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);  // one bitmap pixel per unit, no smoothing
  if (clip) {
    cairo_rectangle(cr, clip->x, clip->y, clip->width, clip->height);
    cairo_fill(cr);
  } else {
    cairo_paint(cr);
  }
  cairo_restore(cr);
}

bool CairoBitmapTarget::failed() const { return cairo_status(cr_.get()) != CAIRO_STATUS_SUCCESS; }

}  // namespace vorn::platform::posix
