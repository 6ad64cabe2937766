// The fonts and bitmaps a printer device context and its memory devices
// share, by handle, and the font files their fonts were made from.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>

#include "pdf/font_program.h"
#include "platform/device_context.h"
#include "platform/posix/print/cairo_handles.h"
#include "platform/posix/print/device_font.h"

namespace vorn::platform::posix {

struct BitmapObject {
  CairoSurface image;  // RGB24
  int width = 0;
  int height = 0;
  std::uint64_t version = 0;  // changes whenever something is drawn into the image
};

// Objects every device holds before anything is selected into it; they are
// never deleted.
inline constexpr GdiObject kStockFont = 1;
inline constexpr GdiObject kStockBitmap = 2;

class GdiObjectTable {
 public:
  GdiObject add(std::shared_ptr<DeviceFont> font) { return insert(std::move(font)); }
  GdiObject add(std::shared_ptr<BitmapObject> bitmap) { return insert(std::move(bitmap)); }

  std::shared_ptr<DeviceFont> font(GdiObject handle) const { return find<DeviceFont>(handle); }
  std::shared_ptr<BitmapObject> bitmap(GdiObject handle) const { return find<BitmapObject>(handle); }
  bool isFont(GdiObject handle) const { return handle == kStockFont || font(handle) != nullptr; }
  bool isBitmap(GdiObject handle) const { return handle == kStockBitmap || bitmap(handle) != nullptr; }

  // Devices that still have the object selected keep it alive until they let go.
  bool remove(GdiObject handle) { return items_.erase(handle) == 1; }

  // The face `index` of `file`, read when first asked for and kept while the
  // devices live (a document is laid out and embedded from the same bytes,
  // whatever happens to the file meanwhile); null with `error` set when it
  // cannot be read.
  std::shared_ptr<const pdf::FontProgram> fontProgram(const std::string& file, int index, std::string& error) {
    auto& program = programs_[{file, index}];
    if (!program) program = pdf::FontProgram::load(file, index, error);
    return program;
  }

 private:
  using Item = std::variant<std::shared_ptr<DeviceFont>, std::shared_ptr<BitmapObject>>;

  GdiObject insert(Item item) {
    const GdiObject handle = next_++;
    items_.emplace(handle, std::move(item));
    return handle;
  }

  template <typename T>
  std::shared_ptr<T> find(GdiObject handle) const {
    const auto it = items_.find(handle);
    if (it == items_.end()) return nullptr;
    const auto* held = std::get_if<std::shared_ptr<T>>(&it->second);
    return held != nullptr ? *held : nullptr;
  }

  std::unordered_map<GdiObject, Item> items_;
  std::map<std::pair<std::string, int>, std::shared_ptr<const pdf::FontProgram>> programs_;
  GdiObject next_ = 16;
};

}  // namespace vorn::platform::posix
