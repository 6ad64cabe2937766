#include "pdf/images.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vorn::pdf {
namespace {

// FNV-1a over the size and the samples, eight bytes a step.
std::uint64_t contentHash(const RgbImage& image) {
  std::uint64_t hash = 1469598103934665603ull;
  const auto mix = [&hash](std::uint64_t v) { hash = (hash ^ v) * 1099511628211ull; };
  mix(static_cast<std::uint32_t>(image.width));
  mix(static_cast<std::uint32_t>(image.height));
  const auto samples = image.samples;
  std::size_t at = 0;
  for (; at + 8 <= samples.size(); at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, samples.data() + at, sizeof word);
    mix(word);
  }
  for (; at < samples.size(); ++at) mix(samples[at]);
  return hash;
}

}  // namespace

int Images::use(const RgbImage& image) {
  const std::uint64_t hash = contentHash(image);
  const auto [first, last] = stored_.equal_range(hash);
  for (auto it = first; it != last; ++it) {
    const Stored& s = it->second;
    if (s.width == image.width && s.height == image.height &&
        std::equal(s.samples.begin(), s.samples.end(), image.samples.begin(), image.samples.end())) {
      return s.object;
    }
  }
  const int object = writer_.reserveObject();
  writer_.writeStream(object,
                      "/Type/XObject/Subtype/Image/Width " + std::to_string(image.width) + "/Height " +
                          std::to_string(image.height) + "/ColorSpace/DeviceRGB/BitsPerComponent 8",
                      image.samples);
  stored_.emplace(hash, Stored{image.width, image.height, {image.samples.begin(), image.samples.end()}, object});
  ++count_;
  return object;
}

}  // namespace vorn::pdf
