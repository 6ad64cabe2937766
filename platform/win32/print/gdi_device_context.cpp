// The device context on Windows: GDI itself. Objects are GDI handles, so a
// GdiObject is the handle's value.
#include "platform/win32/print/gdi_device_context.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/device_mode.h"
#include "platform/error.h"
#include "platform/win32/print/dib_layout.h"

namespace vorn::platform::win32 {
namespace {

HGDIOBJ handleOf(GdiObject object) { return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(object)); }
GdiObject objectOf(HGDIOBJ handle) { return static_cast<GdiObject>(reinterpret_cast<std::uintptr_t>(handle)); }

const DEVMODEA* devmodeOf(const DeviceMode& mode) { return reinterpret_cast<const DEVMODEA*>(mode.bytes().data()); }

bool invalidParameter() {
  ::SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

GdiObject invalidBitmap() {
  ::SetLastError(ERROR_INVALID_PARAMETER);
  return kNoObject;
}

class GdiDeviceContext final : public DeviceContext {
 public:
  explicit GdiDeviceContext(HDC dc) : dc_(dc) {}
  ~GdiDeviceContext() override { ::DeleteDC(dc_); }
  GdiDeviceContext(const GdiDeviceContext&) = delete;
  GdiDeviceContext& operator=(const GdiDeviceContext&) = delete;

  HDC handle() const { return dc_; }

  int getDeviceCaps(int index) override { return ::GetDeviceCaps(dc_, index); }
  std::uint32_t setTextAlign(std::uint32_t align) override { return ::SetTextAlign(dc_, align); }
  int setBkMode(int mode) override { return ::SetBkMode(dc_, mode); }

  int startDoc(const DocInfo& info) override {
    const std::string name(info.docName);
    const std::string output(info.output.value_or(std::string_view{}));
    DOCINFOA doc{};
    doc.cbSize = sizeof(doc);
    doc.lpszDocName = name.c_str();
    doc.lpszOutput = info.output ? output.c_str() : nullptr;
    return ::StartDocA(dc_, &doc);
  }
  int endDoc() override { return ::EndDoc(dc_); }
  int startPage() override { return ::StartPage(dc_); }
  int endPage() override { return ::EndPage(dc_); }

  bool resetDC(const DeviceMode& mode) override {
    if (mode.totalSize() < DeviceMode::kPublicSize) return invalidParameter();
    return ::ResetDCA(dc_, devmodeOf(mode)) != nullptr;
  }

  bool textOut(std::int32_t x, std::int32_t y, std::string_view text) override {
    if (text.size() > INT_MAX) return invalidParameter();
    return ::TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size())) != FALSE;
  }
  bool moveTo(std::int32_t x, std::int32_t y) override { return ::MoveToEx(dc_, x, y, nullptr) != FALSE; }
  bool getCurrentPosition(Point& position) override {
    POINT current{};
    if (!::GetCurrentPositionEx(dc_, &current)) return false;
    position = {current.x, current.y};
    return true;
  }

  GdiObject createFont(const FontRequest& r) override {
    return objectOf(::CreateFontA(r.height, r.width, r.escapement, r.orientation, r.weight, r.italic, r.underline,
                                  r.strikeOut, r.charSet, r.outPrecision, r.clipPrecision, r.quality,
                                  r.pitchAndFamily, r.faceName.c_str()));
  }
  GdiObject selectObject(GdiObject object) override {
    const HGDIOBJ previous = ::SelectObject(dc_, handleOf(object));
    return previous == HGDI_ERROR ? kNoObject : objectOf(previous);
  }
  bool deleteObject(GdiObject object) override { return ::DeleteObject(handleOf(object)) != FALSE; }
  GdiObject getCurrentObject(std::uint32_t kind) override { return objectOf(::GetCurrentObject(dc_, kind)); }

  GdiObject createDIBitmap(const BitmapInfoHeader& header, std::span<const std::byte> bits,
                           std::span<const std::byte> info) override {
    // GDI reads the pixels as the information block describes them: its
    // header sets the bounds, and must be the header the caller read.
    if (info.size() < BitmapInfoHeader::kSize) return invalidBitmap();
    const BitmapInfoHeader described = BitmapInfoHeader::fromBytes(info.first<BitmapInfoHeader::kSize>());
    if (described.width != header.width || described.height != header.height ||
        described.bitCount != header.bitCount || described.compression != header.compression) {
      return invalidBitmap();
    }
    const std::optional<DibLayout> layout = dibLayout(described);
    if (!layout || info.size() < layout->infoSize || bits.size() < layout->bitsSize) return invalidBitmap();
    // An aligned copy, since GDI reads the block as a BITMAPINFO.
    std::vector<std::uint32_t> aligned((layout->infoSize + 3) / 4);
    std::memcpy(aligned.data(), info.data(), layout->infoSize);
    const auto* bitmapInfo = reinterpret_cast<const BITMAPINFO*>(aligned.data());
    return objectOf(
        ::CreateDIBitmap(dc_, &bitmapInfo->bmiHeader, CBM_INIT, bits.data(), bitmapInfo, DIB_RGB_COLORS));
  }
  bool getBitmapSize(GdiObject bitmap, std::int32_t& width, std::int32_t& height) override {
    BITMAP info{};
    if (::GetObjectA(handleOf(bitmap), sizeof info, &info) != sizeof info) return false;
    width = info.bmWidth;
    height = info.bmHeight;
    return true;
  }

  std::unique_ptr<DeviceContext> createCompatibleDC() override {
    const HDC memory = ::CreateCompatibleDC(dc_);
    if (memory == nullptr) return nullptr;
    return std::make_unique<GdiDeviceContext>(memory);
  }

  bool bitBlt(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, DeviceContext& source,
              std::int32_t sourceX, std::int32_t sourceY, std::uint32_t rop) override {
    const auto* gdiSource = dynamic_cast<const GdiDeviceContext*>(&source);
    if (gdiSource == nullptr) return invalidParameter();
    return ::BitBlt(dc_, x, y, width, height, gdiSource->handle(), sourceX, sourceY, rop) != FALSE;
  }

  int escape(int function, std::span<const std::byte> input) override {
    if (input.size() > INT_MAX) {
      invalidParameter();
      return -1;
    }
    return ::Escape(dc_, function, static_cast<int>(input.size()), reinterpret_cast<LPCSTR>(input.data()), nullptr);
  }

 private:
  HDC dc_;
};

}  // namespace

std::unique_ptr<DeviceContext> adoptDeviceContext(HDC dc) { return std::make_unique<GdiDeviceContext>(dc); }

}  // namespace vorn::platform::win32
