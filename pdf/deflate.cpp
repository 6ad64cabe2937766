#include "pdf/deflate.h"

#include <libdeflate.h>

namespace vorn::pdf {
namespace {

// See deflate.h for the measurements behind the level.
constexpr int kLevel = 1;

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
