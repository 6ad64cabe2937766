// A device context that records every call with its arguments and can be told
// to fail any of them. Text advances the current position by a fixed width per
// character, as a device under TA_UPDATECP would.
#pragma once

#include <algorithm>
#include <iterator>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/device_context.h"
#include "platform/device_mode.h"
#include "platform/error.h"

namespace vorn::fakes {

enum class Call {
  GetDeviceCaps,
  SetTextAlign,
  SetBkMode,
  StartDoc,
  EndDoc,
  StartPage,
  EndPage,
  ResetDC,
  TextOut,
  MoveTo,
  GetCurrentPosition,
  CreateFont,
  SelectObject,
  DeleteObject,
  GetCurrentObject,
  CreateDIBitmap,
  GetBitmapSize,
  CreateCompatibleDC,
  DeleteDC,
  BitBlt,
  Escape,
};

struct DeviceCall {
  Call kind{};
  bool failed = false;
  std::int32_t x = 0, y = 0;          // text: where it was drawn; moves and copies: target
  std::int32_t width = 0, height = 0; // copies: the rectangle
  std::int64_t value = 0;             // caps index, alignment, mode, escape function, object kind
  std::string text;                   // text run, document name
  std::optional<std::string> output;  // document output file
  platform::FontRequest font;         // CreateFont
  platform::GdiObject object = platform::kNoObject;  // object selected, deleted or made
  platform::BitmapInfoHeader dib;     // CreateDIBitmap
  std::vector<std::byte> data;        // escape buffer; DIB information block
  std::size_t bitsSize = 0;           // DIB pixel data
  std::int16_t dmOrientation = 0, dmDefaultSource = 0, dmDuplex = 0;  // ResetDC settings
};

// The log and the device's shared state; memory devices write into their parent's.
struct DeviceLog {
  std::vector<DeviceCall> calls;
  std::map<Call, int> counts;
  std::map<Call, std::set<int>> failAt;  // 1-based call numbers per kind
  std::set<Call> failAlways;

  // Device answers.
  std::map<int, int> caps{{platform::kLogPixelsX, 600}, {platform::kLogPixelsY, 600},
                          {platform::kPhysicalOffsetX, 0}, {platform::kPhysicalOffsetY, 0},
                          {platform::kVertRes, 6600},      {platform::kHorzRes, 4800},
                          {platform::kRasterCaps, platform::kRcBitBlt}};
  bool passthroughSupported = true;
  std::int32_t charWidth = 10;

  // Device state.
  platform::Point position;
  platform::GdiObject selectedFont = 1;  // the device's own font
  platform::GdiObject nextObject = 100;
  std::map<platform::GdiObject, std::pair<std::int32_t, std::int32_t>> bitmaps;  // sizes
  std::set<platform::GdiObject> fonts;   // made and not deleted
  std::vector<std::string> misuse;       // deletions of unknown or selected objects

  // The Nth call (from 1) of `kind` fails.
  void failNth(Call kind, int n) { failAt[kind].insert(n); }
  void failEvery(Call kind) { failAlways.insert(kind); }

  std::vector<DeviceCall> of(Call kind) const {
    std::vector<DeviceCall> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out), [&](const DeviceCall& c) { return c.kind == kind; });
    return out;
  }
  int count(Call kind) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const DeviceCall& c) { return c.kind == kind; }));
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const DeviceCall& c : calls) {
      if (c.kind == Call::TextOut) out.push_back(c.text);
    }
    return out;
  }

  // Records a call; whether it is to fail.
  DeviceCall& record(Call kind) {
    const int n = ++counts[kind];
    DeviceCall call;
    call.kind = kind;
    call.failed = failAlways.count(kind) != 0 || (failAt.count(kind) != 0 && failAt[kind].count(n) != 0);
    calls.push_back(std::move(call));
    return calls.back();
  }
};

class RecordingDevice : public platform::DeviceContext {
 public:
  RecordingDevice() : log_(std::make_shared<DeviceLog>()) {}
  explicit RecordingDevice(std::shared_ptr<DeviceLog> log, bool memory = false)
      : log_(std::move(log)), memory_(memory) {}
  ~RecordingDevice() override {
    if (memory_) log_->record(Call::DeleteDC);
  }

  DeviceLog& log() { return *log_; }

  int getDeviceCaps(int index) override {
    DeviceCall& c = log_->record(Call::GetDeviceCaps);
    c.value = index;
    const auto it = log_->caps.find(index);
    return c.failed || it == log_->caps.end() ? 0 : it->second;
  }
  std::uint32_t setTextAlign(std::uint32_t align) override {
    DeviceCall& c = log_->record(Call::SetTextAlign);
    c.value = align;
    return c.failed ? platform::kGdiError : 0;
  }
  int setBkMode(int mode) override {
    DeviceCall& c = log_->record(Call::SetBkMode);
    c.value = mode;
    return c.failed ? 0 : 2;
  }
  int startDoc(const platform::DocInfo& info) override {
    DeviceCall& c = log_->record(Call::StartDoc);
    c.text = std::string(info.docName);
    if (info.output) c.output = std::string(*info.output);
    return c.failed ? 0 : 7;
  }
  // A failed EndDoc reports a full disk, as a document that cannot be completed does.
  int endDoc() override {
    if (!log_->record(Call::EndDoc).failed) return 1;
    platform::setLastError(platform::kErrorDiskFull);
    return 0;
  }
  int startPage() override { return log_->record(Call::StartPage).failed ? 0 : 1; }
  int endPage() override { return log_->record(Call::EndPage).failed ? 0 : 1; }
  bool resetDC(const platform::DeviceMode& mode) override {
    DeviceCall& c = log_->record(Call::ResetDC);
    c.dmOrientation = mode.orientation();
    c.dmDefaultSource = mode.defaultSource();
    c.dmDuplex = mode.duplex();
    return !c.failed;
  }
  bool textOut(std::int32_t, std::int32_t, std::string_view text) override {
    DeviceCall& c = log_->record(Call::TextOut);
    c.text = std::string(text);
    c.x = log_->position.x;
    c.y = log_->position.y;
    c.object = log_->selectedFont;
    if (c.failed) return false;
    log_->position.x += log_->charWidth * static_cast<std::int32_t>(text.size());
    return true;
  }
  bool moveTo(std::int32_t x, std::int32_t y) override {
    DeviceCall& c = log_->record(Call::MoveTo);
    c.x = x;
    c.y = y;
    if (c.failed) return false;
    log_->position = {x, y};
    return true;
  }
  bool getCurrentPosition(platform::Point& position) override {
    if (log_->record(Call::GetCurrentPosition).failed) return false;
    position = log_->position;
    return true;
  }
  platform::GdiObject createFont(const platform::FontRequest& request) override {
    DeviceCall& c = log_->record(Call::CreateFont);
    c.font = request;
    if (c.failed) return platform::kNoObject;
    c.object = log_->nextObject++;
    log_->fonts.insert(c.object);
    return c.object;
  }
  platform::GdiObject selectObject(platform::GdiObject object) override {
    DeviceCall& c = log_->record(Call::SelectObject);
    c.object = object;
    if (c.failed) return platform::kNoObject;
    if (log_->bitmaps.count(object) != 0) return 2;  // a memory device's own 1x1 bitmap
    return std::exchange(log_->selectedFont, object);
  }
  bool deleteObject(platform::GdiObject object) override {
    DeviceCall& c = log_->record(Call::DeleteObject);
    c.object = object;
    if (object == log_->selectedFont) log_->misuse.push_back("deleted the selected font " + std::to_string(object));
    if (log_->fonts.erase(object) == 0 && log_->bitmaps.erase(object) == 0) {
      log_->misuse.push_back("deleted unknown object " + std::to_string(object));
    }
    return !c.failed;
  }
  platform::GdiObject getCurrentObject(std::uint32_t kind) override {
    DeviceCall& c = log_->record(Call::GetCurrentObject);
    c.value = kind;
    if (c.failed || kind != platform::kObjFont) return platform::kNoObject;
    return log_->selectedFont;
  }
  platform::GdiObject createDIBitmap(const platform::BitmapInfoHeader& header, std::span<const std::byte> bits,
                                     std::span<const std::byte> info) override {
    DeviceCall& c = log_->record(Call::CreateDIBitmap);
    c.dib = header;
    c.bitsSize = bits.size();
    c.data.assign(info.begin(), info.end());
    if (c.failed) return platform::kNoObject;
    c.object = log_->nextObject++;
    log_->bitmaps[c.object] = {header.width, header.height < 0 ? -header.height : header.height};
    return c.object;
  }
  bool getBitmapSize(platform::GdiObject bitmap, std::int32_t& width, std::int32_t& height) override {
    DeviceCall& c = log_->record(Call::GetBitmapSize);
    c.object = bitmap;
    const auto it = log_->bitmaps.find(bitmap);
    if (c.failed || it == log_->bitmaps.end()) return false;
    width = it->second.first;
    height = it->second.second;
    return true;
  }
  std::unique_ptr<platform::DeviceContext> createCompatibleDC() override {
    if (log_->record(Call::CreateCompatibleDC).failed) return nullptr;
    return std::make_unique<RecordingDevice>(log_, true);
  }
  bool bitBlt(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, platform::DeviceContext&,
              std::int32_t, std::int32_t, std::uint32_t rop) override {
    DeviceCall& c = log_->record(Call::BitBlt);
    c.x = x;
    c.y = y;
    c.width = width;
    c.height = height;
    c.value = rop;
    return !c.failed;
  }
  int escape(int function, std::span<const std::byte> input) override {
    DeviceCall& c = log_->record(Call::Escape);
    c.value = function;
    c.data.assign(input.begin(), input.end());
    if (c.failed) return -1;
    if (function == platform::kQueryEscSupport) return log_->passthroughSupported ? 1 : 0;
    if (function == platform::kPassthrough) return log_->passthroughSupported ? static_cast<int>(input.size()) : -1;
    return 0;
  }

 private:
  std::shared_ptr<DeviceLog> log_;
  bool memory_ = false;
};

}  // namespace vorn::fakes
