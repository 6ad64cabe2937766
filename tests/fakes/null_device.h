// A device context that draws nothing and succeeds at everything: the engine
// at full speed, for benchmarks and fuzzing.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/device_context.h"

namespace vorn::fakes {

class NullDevice : public platform::DeviceContext {
 public:
  int getDeviceCaps(int index) override {
    switch (index) {
      case platform::kLogPixelsX:
      case platform::kLogPixelsY:
        return 600;
      case platform::kVertRes:
        return 6600;
      case platform::kHorzRes:
        return 4800;
      case platform::kRasterCaps:
        return platform::kRcBitBlt;
      default:
        return 0;
    }
  }
  std::uint32_t setTextAlign(std::uint32_t) override { return 0; }
  int setBkMode(int) override { return 2; }
  int startDoc(const platform::DocInfo&) override { return 1; }
  int endDoc() override { return 1; }
  int startPage() override { return 1; }
  int endPage() override { return 1; }
  bool resetDC(const platform::DeviceMode&) override { return true; }
  bool textOut(std::int32_t, std::int32_t, std::string_view) override { return true; }
  bool moveTo(std::int32_t, std::int32_t) override { return true; }
  bool getCurrentPosition(platform::Point& position) override {
    position = {};
    return true;
  }
  platform::GdiObject createFont(const platform::FontRequest&) override { return nextObject_++; }
  platform::GdiObject selectObject(platform::GdiObject) override { return 1; }
  bool deleteObject(platform::GdiObject) override { return true; }
  platform::GdiObject getCurrentObject(std::uint32_t) override { return 1; }
  platform::GdiObject createDIBitmap(const platform::BitmapInfoHeader&, std::span<const std::byte>,
                                     std::span<const std::byte>) override {
    return nextObject_++;
  }
  bool getBitmapSize(platform::GdiObject, std::int32_t& width, std::int32_t& height) override {
    width = 1;
    height = 1;
    return true;
  }
  std::unique_ptr<platform::DeviceContext> createCompatibleDC() override { return std::make_unique<NullDevice>(); }
  bool bitBlt(std::int32_t, std::int32_t, std::int32_t, std::int32_t, platform::DeviceContext&, std::int32_t,
              std::int32_t, std::uint32_t) override {
    return true;
  }
  int escape(int, std::span<const std::byte> input) override { return input.empty() ? 1 : static_cast<int>(input.size()); }

 private:
  platform::GdiObject nextObject_ = 100;
};

}  // namespace vorn::fakes
