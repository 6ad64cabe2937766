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

cairo_t* CairoMemoryContext::target() {
  if (!bitmapContext_ && bitmap_) bitmapContext_.reset(cairo_create(bitmap_->image.get()));
  return bitmapContext_.get();
}

GdiObject CairoMemoryContext::selectBitmap(GdiObject bitmap) {
  if (!objects_->isBitmap(bitmap)) return CairoDrawingContext::selectBitmap(bitmap);
  bitmapContext_.reset();
  bitmap_ = bitmap == kStockBitmap ? nullptr : objects_->bitmap(bitmap);
  return std::exchange(bitmapHandle_, bitmap);
}

}  // namespace vorn::platform::posix
