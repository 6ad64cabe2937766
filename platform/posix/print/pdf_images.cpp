#include "platform/posix/print/pdf_images.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vorn::platform::posix {

int PdfImages::use(const std::shared_ptr<BitmapObject>& bitmap) {
  std::erase_if(written_, [](const Written& w) { return w.bitmap.expired(); });
  for (const Written& w : written_) {
    if (w.bitmap.lock() == bitmap && w.version == bitmap->version) return w.object;
  }

  cairo_surface_t* image = bitmap->image.get();
  cairo_surface_flush(image);
  const unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  const auto width = static_cast<std::size_t>(std::max(bitmap->width, 0));
  const auto height = static_cast<std::size_t>(std::max(bitmap->height, 0));
  std::vector<unsigned char> samples(width * height * 3);
  for (std::size_t y = 0; data != nullptr && y < height; ++y) {
    const unsigned char* row = data + y * static_cast<std::size_t>(stride);
    unsigned char* out = samples.data() + y * width * 3;
    for (std::size_t x = 0; x < width; ++x) {
      std::uint32_t pixel = 0;  // RGB24: 0x00RRGGBB in the machine's byte order
      std::memcpy(&pixel, row + x * 4, sizeof pixel);
      *out++ = static_cast<unsigned char>(pixel >> 16);
      *out++ = static_cast<unsigned char>(pixel >> 8);
      *out++ = static_cast<unsigned char>(pixel);
    }
  }
  const int object = writer_.reserveObject();
  writer_.writeStream(object,
                      "/Type/XObject/Subtype/Image/Width " + std::to_string(width) + "/Height " +
                          std::to_string(height) + "/ColorSpace/DeviceRGB/BitsPerComponent 8/Interpolate false",
                      samples);
  written_.push_back({bitmap, bitmap->version, object});
  return object;
}

}  // namespace vorn::platform::posix
