// A device context that passes every call on to the real one and keeps the
// outcome of the calls whose results the engine does not report (EndDoc) and
// the number of pages completed.
#pragma once

#include <memory>

#include "platform/device_context.h"

namespace vorn::tools {

class PageCountingDevice final : public platform::DeviceContext {
 public:
  explicit PageCountingDevice(std::unique_ptr<platform::DeviceContext> device) : device_(std::move(device)) {}

  int pagesPrinted() const { return pages_; }
  bool documentCompleted() const { return completed_; }

  int getDeviceCaps(int index) override { return device_->getDeviceCaps(index); }
  std::uint32_t setTextAlign(std::uint32_t align) override { return device_->setTextAlign(align); }
  int setBkMode(int mode) override { return device_->setBkMode(mode); }
  int startDoc(const platform::DocInfo& info) override { return device_->startDoc(info); }
  int endDoc() override {
    const int result = device_->endDoc();
    completed_ = result > 0;
    return result;
  }
  int startPage() override { return device_->startPage(); }
  int endPage() override {
    const int result = device_->endPage();
    if (result > 0) ++pages_;
    return result;
  }
  bool resetDC(const platform::DeviceMode& mode) override { return device_->resetDC(mode); }
  bool textOut(std::int32_t x, std::int32_t y, std::string_view text) override {
    return device_->textOut(x, y, text);
  }
  bool moveTo(std::int32_t x, std::int32_t y) override { return device_->moveTo(x, y); }
  bool getCurrentPosition(platform::Point& position) override { return device_->getCurrentPosition(position); }
  platform::GdiObject createFont(const platform::FontRequest& request) override {
    return device_->createFont(request);
  }
  platform::GdiObject selectObject(platform::GdiObject object) override { return device_->selectObject(object); }
  bool deleteObject(platform::GdiObject object) override { return device_->deleteObject(object); }
  platform::GdiObject getCurrentObject(std::uint32_t kind) override { return device_->getCurrentObject(kind); }
  platform::GdiObject createDIBitmap(const platform::BitmapInfoHeader& header, std::span<const std::byte> bits,
                                     std::span<const std::byte> info) override {
    return device_->createDIBitmap(header, bits, info);
  }
  bool getBitmapSize(platform::GdiObject bitmap, std::int32_t& width, std::int32_t& height) override {
    return device_->getBitmapSize(bitmap, width, height);
  }
  std::unique_ptr<platform::DeviceContext> createCompatibleDC() override { return device_->createCompatibleDC(); }
  bool bitBlt(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
              platform::DeviceContext& source, std::int32_t sourceX, std::int32_t sourceY,
              std::uint32_t rop) override {
    return device_->bitBlt(x, y, width, height, source, sourceX, sourceY, rop);
  }
  int escape(int function, std::span<const std::byte> input) override { return device_->escape(function, input); }

 private:
  std::unique_ptr<platform::DeviceContext> device_;
  int pages_ = 0;
  bool completed_ = false;
};

}  // namespace vorn::tools
