// A printer device context and the graphics objects drawn with it.
// Stands for: the gdi32 calls of the rendering engine (CreateFontA, TextOutA,
// StartDocA, BitBlt, Escape …), one method each, with GDI's results.
//
// Coordinates are device units (printer dots); the origin is the top-left
// corner of the printable area. Text is single-byte Windows-1252.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vorn::platform {

class DeviceMode;

// GetDeviceCaps indices.
inline constexpr int kHorzRes = 8;
inline constexpr int kVertRes = 10;
inline constexpr int kRasterCaps = 38;
inline constexpr int kLogPixelsX = 88;
inline constexpr int kLogPixelsY = 90;
inline constexpr int kPhysicalWidth = 110;
inline constexpr int kPhysicalHeight = 111;
inline constexpr int kPhysicalOffsetX = 112;
inline constexpr int kPhysicalOffsetY = 113;
inline constexpr int kRcBitBlt = 1;  // RASTERCAPS flag

// SetTextAlign / SetBkMode.
inline constexpr std::uint32_t kTaUpdateCp = 1;
inline constexpr std::uint32_t kTaBaseline = 24;
inline constexpr std::uint32_t kGdiError = 0xFFFFFFFFu;
inline constexpr int kTransparent = 1;

// GetCurrentObject kinds.
inline constexpr std::uint32_t kObjFont = 6;
inline constexpr std::uint32_t kObjBitmap = 7;

// BitBlt raster operation.
inline constexpr std::uint32_t kSrcCopy = 0x00CC0020;

// Escape functions.
inline constexpr int kQueryEscSupport = 8;
inline constexpr int kPassthrough = 19;

// A GDI object (font or bitmap). 0 is "none". Objects belong to the device
// that created them and to its compatible memory devices; the creator frees
// them with deleteObject.
using GdiObject = std::uint64_t;
inline constexpr GdiObject kNoObject = 0;

// CreateFontA's arguments.
struct FontRequest {
  std::int32_t height = 0;  // negative: character height (em size); positive: cell height
  std::int32_t width = 0;
  std::int32_t escapement = 0;
  std::int32_t orientation = 0;
  std::int32_t weight = 0;
  std::uint32_t italic = 0;
  std::uint32_t underline = 0;
  std::uint32_t strikeOut = 0;
  std::uint32_t charSet = 0;
  std::uint32_t outPrecision = 0;
  std::uint32_t clipPrecision = 0;
  std::uint32_t quality = 0;
  std::uint32_t pitchAndFamily = 0;
  std::string faceName;
};

// StartDocA's DOCINFOA.
struct DocInfo {
  std::string_view docName;
  std::optional<std::string_view> output;  // a file the document goes to instead of the printer
};

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// The 40-byte BITMAPINFOHEADER.
struct BitmapInfoHeader {
  std::uint32_t size = 40;
  std::int32_t width = 0;
  std::int32_t height = 0;  // positive: bottom-up rows; negative: top-down
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0;
  std::uint32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t clrImportant = 0;

  static constexpr std::size_t kSize = 40;
  // Reads the little-endian header from 40 bytes.
  static BitmapInfoHeader fromBytes(std::span<const std::byte, kSize> bytes);
};

// Destroying a device context deletes it (DeleteDC).
class DeviceContext {
 public:
  virtual ~DeviceContext() = default;

  virtual int getDeviceCaps(int index) = 0;
  // Returns the previous alignment, or kGdiError.
  virtual std::uint32_t setTextAlign(std::uint32_t align) = 0;
  // Returns the previous mode, or 0 on failure.
  virtual int setBkMode(int mode) = 0;

  // StartDocA: a job identifier above 0, or 0 or below on failure.
  virtual int startDoc(const DocInfo& info) = 0;
  // EndDoc, StartPage, EndPage: above 0 on success, 0 or below on failure.
  virtual int endDoc() = 0;
  virtual int startPage() = 0;
  virtual int endPage() = 0;
  // ResetDCA with a settings record; false on failure. Takes effect from the next page.
  virtual bool resetDC(const DeviceMode& mode) = 0;

  // TextOutA. Under TA_UPDATECP x and y are ignored: text goes at the current
  // position, which moves past it.
  virtual bool textOut(std::int32_t x, std::int32_t y, std::string_view text) = 0;
  // MoveToEx (the previous position is not returned).
  virtual bool moveTo(std::int32_t x, std::int32_t y) = 0;
  // GetCurrentPositionEx.
  virtual bool getCurrentPosition(Point& position) = 0;

  // CreateFontA: kNoObject on failure.
  virtual GdiObject createFont(const FontRequest& request) = 0;
  // SelectObject: the object of the same kind it replaced, or kNoObject on failure.
  virtual GdiObject selectObject(GdiObject object) = 0;
  // DeleteObject.
  virtual bool deleteObject(GdiObject object) = 0;
  // GetCurrentObject.
  virtual GdiObject getCurrentObject(std::uint32_t kind) = 0;

  // CreateDIBitmap(CBM_INIT, DIB_RGB_COLORS): `header` as read from the file,
  // `bits` the pixel data, `info` the bitmap information block (40-byte header
  // followed by the colour table). kNoObject on failure.
  virtual GdiObject createDIBitmap(const BitmapInfoHeader& header, std::span<const std::byte> bits,
                                   std::span<const std::byte> info) = 0;
  // GetObjectA on a bitmap: its width and height in pixels.
  virtual bool getBitmapSize(GdiObject bitmap, std::int32_t& width, std::int32_t& height) = 0;
  // CreateCompatibleDC: a memory device sharing this device's objects; null on failure.
  virtual std::unique_ptr<DeviceContext> createCompatibleDC() = 0;
  // BitBlt from `source` (a memory device) into this device.
  virtual bool bitBlt(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                      DeviceContext& source, std::int32_t sourceX, std::int32_t sourceY,
                      std::uint32_t rop) = 0;

  // Escape. kQueryEscSupport with a 4-byte escape number: above 0 when that
  // escape is supported, 0 when not. kPassthrough with a raw-data buffer (a
  // 16-bit little-endian count and the bytes): above 0 when sent.
  // Below 0 on failure.
  virtual int escape(int function, std::span<const std::byte> input) = 0;
};

}  // namespace vorn::platform
