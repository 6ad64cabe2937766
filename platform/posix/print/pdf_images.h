// The bitmaps a PDF document shows, each written once as an image XObject
// while it stays unchanged; a bitmap drawn into since is written again.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/posix/print/gdi_objects.h"
#include "platform/posix/print/pdf_writer.h"

namespace vorn::platform::posix {

class PdfImages {
 public:
  explicit PdfImages(PdfWriter& writer) : writer_(writer) {}

  // The image object showing `bitmap` as it is now.
  int use(const std::shared_ptr<BitmapObject>& bitmap);

 private:
  struct Written {
    std::weak_ptr<BitmapObject> bitmap;  // expired once the bitmap is deleted
    std::uint64_t version = 0;
    int object = 0;
  };

  PdfWriter& writer_;
  std::vector<Written> written_;
};

}  // namespace vorn::platform::posix
