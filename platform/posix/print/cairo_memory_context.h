// A memory device of the printer (CreateCompatibleDC): it holds the bitmap
// selected into it, draws into that bitmap, and is the source of BitBlt. It
// has no document or pages.
#pragma once

#include <memory>

#include "platform/posix/print/drawing_context.h"
#include "platform/posix/print/cairo_bitmap_target.h"

namespace vorn::platform::posix {

class CairoMemoryContext final : public DrawingContext {
 public:
  // Shares `objects` (the printer device's) and `parent`'s metrics.
  CairoMemoryContext(const DrawingContext& parent, std::shared_ptr<GdiObjectTable> objects)
      : DrawingContext(parent, std::move(objects)) {}

  // A memory device prints nothing: each of these fails with ERROR_INVALID_FUNCTION.
  int startDoc(const DocInfo& info) override;
  int endDoc() override;
  int startPage() override;
  int endPage() override;
  bool resetDC(const DeviceMode& mode) override;

 protected:
  DrawingTarget* target() override;
  GdiObject selectBitmap(GdiObject bitmap) override;

 private:
  std::unique_ptr<CairoBitmapTarget> bitmapTarget_;  // drawing into bitmap_, made on first use
};

}  // namespace vorn::platform::posix
