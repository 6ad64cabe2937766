#include "platform/posix/print/cairo_memory_context.h"

#include <utility>

#include "platform/error.h"

namespace vorn::platform::posix {
namespace {

constexpr int kSpError = -1;  // EndDoc/EndPage failure

}  // namespace

int CairoMemoryContext::startDoc(const DocInfo&) {
  setLastError(kErrorInvalidFunction);
  return 0;
}

int CairoMemoryContext::endDoc() {
  setLastError(kErrorInvalidFunction);
  return kSpError;
}

int CairoMemoryContext::startPage() {
  setLastError(kErrorInvalidFunction);
  return kSpError;
}

int CairoMemoryContext::endPage() {
  setLastError(kErrorInvalidFunction);
  return kSpError;
}

bool CairoMemoryContext::resetDC(const DeviceMode&) {
  setLastError(kErrorInvalidFunction);
  return false;
}

DrawingTarget* CairoMemoryContext::target() {
  if (!bitmapTarget_ && bitmap_) bitmapTarget_ = CairoBitmapTarget::create(bitmap_);
  return bitmapTarget_.get();
}

GdiObject CairoMemoryContext::selectBitmap(GdiObject bitmap) {
  if (!objects_->isBitmap(bitmap)) return DrawingContext::selectBitmap(bitmap);
  bitmapTarget_.reset();
  bitmap_ = bitmap == kStockBitmap ? nullptr : objects_->bitmap(bitmap);
  return std::exchange(bitmapHandle_, bitmap);
}

}  // namespace vorn::platform::posix
