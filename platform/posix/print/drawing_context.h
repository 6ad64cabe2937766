// What the printer device context and its memory devices share: text, fonts,
// bitmaps and the printer's metrics, in device units (one unit is one printer
// dot). Where drawing goes is the kind's own business: a page of the
// printer's PDF, or the bitmap selected into a memory device (drawn with cairo).
#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/device_context.h"
#include "platform/posix/print/device_font.h"
#include "platform/posix/print/drawing_target.h"
#include "platform/posix/print/font_resolver.h"
#include "platform/posix/print/gdi_objects.h"
#include "platform/posix/print/pdf_output.h"
#include "platform/posix/print/printer_settings.h"

namespace vorn::platform::posix {

// Opens the output of a document that names no output file; null on failure
// with the last error set.
using OutputOpener = std::function<std::unique_ptr<PdfOutput>(std::string_view docName, const PageSettings& settings)>;

struct PrinterDeviceSetup {
  PrinterDescription printer;
  OutputOpener openOutput;
  // Whether the output carries settings of its own (a spooler job's sides and
  // paper source); such an output is opened again with the first page's
  // settings when they changed after StartDocA.
  bool outputTakesSettings = false;
  std::shared_ptr<FontResolver> fonts;
};

// The page geometry of a printer with some settings, in device units.
struct PageGeometry {
  int physicalWidth = 0;
  int physicalHeight = 0;
  int offsetX = 0;  // unprintable border, left and right
  int offsetY = 0;  // top and bottom
  double widthPoints = 0;
  double heightPoints = 0;
};
PageGeometry pageGeometry(const PrinterDescription& printer, const PageSettings& settings, int dpi);

class DrawingContext : public DeviceContext {
 public:
  ~DrawingContext() override = default;
  DrawingContext(const DrawingContext&) = delete;
  DrawingContext& operator=(const DrawingContext&) = delete;

  int getDeviceCaps(int index) override;
  std::uint32_t setTextAlign(std::uint32_t align) override;
  int setBkMode(int mode) override;

  bool textOut(std::int32_t x, std::int32_t y, std::string_view text) override;
  bool moveTo(std::int32_t x, std::int32_t y) override;
  bool getCurrentPosition(Point& position) override;

  GdiObject createFont(const FontRequest& request) override;
  GdiObject selectObject(GdiObject object) override;
  bool deleteObject(GdiObject object) override;
  GdiObject getCurrentObject(std::uint32_t kind) override;

  GdiObject createDIBitmap(const BitmapInfoHeader& header, std::span<const std::byte> bits,
                           std::span<const std::byte> info) override;
  bool getBitmapSize(GdiObject bitmap, std::int32_t& width, std::int32_t& height) override;
  // A memory device that shares this device's objects and metrics.
  std::unique_ptr<DeviceContext> createCompatibleDC() override;
  bool bitBlt(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, DeviceContext& source,
              std::int32_t sourceX, std::int32_t sourceY, std::uint32_t rop) override;

  int escape(int function, std::span<const std::byte> input) override;

 protected:
  // A printer device: the printer's defaults, merged with `init` when given.
  DrawingContext(std::shared_ptr<const PrinterDeviceSetup> setup, const DeviceMode* init);
  // A device of the same printer that shares `other`'s objects.
  explicit DrawingContext(const DrawingContext& other, std::shared_ptr<GdiObjectTable> objects);

  // Where drawing goes now; null when nothing can be drawn.
  virtual DrawingTarget* target() = 0;
  // Whether what is drawn can no longer reach its output.
  virtual bool outputBroken() const { return false; }
  // SelectObject of a bitmap; only memory devices take one.
  virtual GdiObject selectBitmap(GdiObject bitmap);

  std::shared_ptr<const PrinterDeviceSetup> setup_;
  std::shared_ptr<GdiObjectTable> objects_;
  int dpi_ = 600;
  PageSettings settings_;  // in force for the next page
  PageGeometry geometry_;  // of `settings_`

  GdiObject bitmapHandle_ = kStockBitmap;
  std::shared_ptr<BitmapObject> bitmap_;  // the selected bitmap, null for the stock one

 private:
  const DeviceFont* currentFont();
  // The font for a request, its face's file read when the device first uses it; null on failure.
  std::shared_ptr<DeviceFont> makeFont(const FontRequest& request);

  std::uint32_t textAlign_ = 0;
  int bkMode_ = 2;  // OPAQUE
  double positionX_ = 0;
  double positionY_ = 0;
  GdiObject fontHandle_ = kStockFont;
  std::shared_ptr<DeviceFont> font_;
  std::shared_ptr<DeviceFont> stockFont_;
};

}  // namespace vorn::platform::posix
