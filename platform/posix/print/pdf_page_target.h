// Drawing onto a page of the printer's PDF: the device's fonts and bitmaps
// handed to the PDF library.
#pragma once

#include <vector>

#include "pdf/page.h"
#include "platform/posix/print/drawing_target.h"

namespace vorn::platform::posix {

class PdfPageTarget final : public DrawingTarget {
 public:
  explicit PdfPageTarget(pdf::Page& page) : page_(page) {}

  void fillRectangle(const DrawingRectangle& area, bool white) override;
  void showText(const DeviceFont& font, std::string_view text, double x, double baseline) override;
  void drawBitmap(const std::shared_ptr<BitmapObject>& bitmap, double x, double y,
                  const std::optional<DrawingRectangle>& clip) override;
  bool failed() const override { return false; }  // the document's writer keeps failures

 private:
  pdf::Page& page_;
  std::vector<unsigned char> samples_;  // reused for every bitmap
};

}  // namespace vorn::platform::posix
