// The images of one PDF, each distinct one stored once: an image is known by
// its content (a hash of its size and samples, confirmed byte for byte), so a
// logo loaded anew for every page is written the first time only. The
// samples of every image written stay for the comparison until the document
// ends.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "pdf/file_writer.h"

namespace vorn::pdf {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::span<const unsigned char> samples;  // 8-bit red, green, blue, rows top to bottom
};

class Images {
 public:
  explicit Images(FileWriter& writer) : writer_(writer) {}

  // The image object showing `image` (which must hold width * height * 3 samples).
  int use(const RgbImage& image);
  // Distinct images written so far.
  std::size_t count() const { return count_; }

 private:
  struct Stored {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> samples;
    int object = 0;
  };

  FileWriter& writer_;
  std::unordered_multimap<std::uint64_t, Stored> stored_;
  std::size_t count_ = 0;
};

}  // namespace vorn::pdf
