#include "platform/posix/print/pdf_page_target.h"

#include <algorithm>
#include <cstring>

namespace vorn::platform::posix {
namespace {

pdf::Rectangle rectangleOf(const DrawingRectangle& r) { return {r.x, r.y, r.width, r.height}; }

}  // namespace

void PdfPageTarget::fillRectangle(const DrawingRectangle& area, bool white) {
  page_.fillRectangle(rectangleOf(area), white);
}

void PdfPageTarget::showText(const DeviceFont& font, std::string_view text, double x, double baseline) {
  page_.showText(font.style(), text, x, baseline);
}

void PdfPageTarget::drawBitmap(const std::shared_ptr<BitmapObject>& bitmap, double x, double y,
                               const std::optional<DrawingRectangle>& clip) {
  cairo_surface_t* image = bitmap->image.get();
  cairo_surface_flush(image);
  const unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  const auto width = static_cast<std::size_t>(std::max(bitmap->width, 0));
  const auto height = static_cast<std::size_t>(std::max(bitmap->height, 0));
  samples_.resize(width * height * 3);
  for (std::size_t row = 0; data != nullptr && row < height; ++row) {
    const unsigned char* in = data + row * static_cast<std::size_t>(stride);
    unsigned char* out = samples_.data() + row * width * 3;
    for (std::size_t column = 0; column < width; ++column) {
      std::uint32_t pixel = 0;  // RGB24: 0x00RRGGBB in the machine's byte order
      std::memcpy(&pixel, in + column * 4, sizeof pixel);
      *out++ = static_cast<unsigned char>(pixel >> 16);
      *out++ = static_cast<unsigned char>(pixel >> 8);
      *out++ = static_cast<unsigned char>(pixel);
    }
  }
  std::optional<pdf::Rectangle> area;
  if (clip) area = rectangleOf(*clip);
  page_.drawImage({bitmap->width, bitmap->height, samples_}, x, y, area);
}

}  // namespace vorn::platform::posix
