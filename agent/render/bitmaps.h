// Bitmap files of the load directory, drawn at the current position.
#pragma once

#include <string_view>
#include <utility>

#include "agent/render/render_state.h"
#include "platform/device_context.h"

namespace vorn {

// A device bitmap owned by the engine; deleted with the device that made it.
class DeviceBitmap {
 public:
  DeviceBitmap() = default;
  DeviceBitmap(platform::DeviceContext& dc, platform::GdiObject bitmap) : dc_(&dc), bitmap_(bitmap) {}
  DeviceBitmap(DeviceBitmap&& other) noexcept
      : dc_(other.dc_), bitmap_(std::exchange(other.bitmap_, platform::kNoObject)) {}
  DeviceBitmap& operator=(DeviceBitmap&& other) noexcept {
    if (this != &other) {
      reset();
      dc_ = other.dc_;
      bitmap_ = std::exchange(other.bitmap_, platform::kNoObject);
    }
    return *this;
  }
  DeviceBitmap(const DeviceBitmap&) = delete;
  DeviceBitmap& operator=(const DeviceBitmap&) = delete;
  ~DeviceBitmap() { reset(); }

  explicit operator bool() const { return bitmap_ != platform::kNoObject; }
  platform::GdiObject get() const { return bitmap_; }

 private:
  void reset() {
    if (bitmap_ != platform::kNoObject) dc_->deleteObject(bitmap_);
    bitmap_ = platform::kNoObject;
  }

  platform::DeviceContext* dc_ = nullptr;
  platform::GdiObject bitmap_ = platform::kNoObject;
};

// Loads "<loadDirectory>\<name>.bmp" as a bitmap compatible with the
// document's device; empty when the file is absent, malformed or unreadable.
DeviceBitmap LoadBitmapFile(RenderState& state, std::string_view name);

// Copies the bitmap to the page with its top-left corner at the current
// position. 1 when copied, 0 otherwise.
int DrawBitmap(RenderState& state, platform::GdiObject bitmap);

// The image-or-macro command: the bitmap of that name if one loads,
// otherwise the macro of that name.
void PlaceImageOrMacro(RenderState& state, std::string_view name);

}  // namespace vorn
