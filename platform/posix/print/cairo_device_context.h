// The printer device context on Linux: a cairo PDF surface whose user space
// is scaled so that one unit is one printer dot, and memory devices that
// hold bitmaps for BitBlt.
//
// Each page takes its size and orientation from the settings in force when
// it starts; ResetDCA records settings for the pages that follow. The PDF
// streams to its output (a file, a built-in printer's folder, a CUPS queue)
// while pages are drawn.
#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_context.h"
#include "platform/device_mode.h"
#include "platform/posix/print/cairo_font.h"
#include "platform/posix/print/cairo_handles.h"
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

class CairoDeviceContext final : public DeviceContext {
 public:
  // A printer device with the printer's defaults, merged with `init` when given.
  CairoDeviceContext(std::shared_ptr<const PrinterDeviceSetup> setup, const DeviceMode* init);
  ~CairoDeviceContext() override;
  CairoDeviceContext(const CairoDeviceContext&) = delete;
  CairoDeviceContext& operator=(const CairoDeviceContext&) = delete;

  int getDeviceCaps(int index) override;
  std::uint32_t setTextAlign(std::uint32_t align) override;
  int setBkMode(int mode) override;

  int startDoc(const DocInfo& info) override;
  int endDoc() override;
  int startPage() override;
  int endPage() override;
  bool resetDC(const DeviceMode& mode) override;

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
  std::unique_ptr<DeviceContext> createCompatibleDC() override;
  bool bitBlt(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, DeviceContext& source,
              std::int32_t sourceX, std::int32_t sourceY, std::uint32_t rop) override;

  int escape(int function, std::span<const std::byte> input) override;

 private:
  struct MemoryDevice {};
  CairoDeviceContext(MemoryDevice, const CairoDeviceContext& parent);

  static cairo_status_t writeToOutput(void* closure, const unsigned char* data, unsigned int length);
  // Where drawing goes now: the open page, or the bitmap selected into a memory device.
  cairo_t* target();
  const CairoFont* currentFont();
  // Drops the open document without completing it.
  void abandonDocument();
  // Opens the spooler output again when the first page's settings differ
  // from those it was opened with; false when that fails.
  bool reopenOutputForFirstPage();

  std::shared_ptr<const PrinterDeviceSetup> setup_;
  std::shared_ptr<GdiObjectTable> objects_;
  bool memory_ = false;
  int dpi_ = 600;
  PageSettings settings_;  // in force for the next page
  PageGeometry geometry_;  // of `settings_`

  std::unique_ptr<PdfOutput> output_;
  std::string docName_;           // of the open document, for opening its output again
  PageSettings outputSettings_;   // the settings its output was opened with
  bool outputFromPrinter_ = false;
  bool pageStartedInDoc_ = false;
  bool outputFailed_ = false;
  bool discardOutput_ = false;
  CairoSurface surface_;
  CairoContext page_;
  bool docOpen_ = false;
  bool pageOpen_ = false;

  std::uint32_t textAlign_ = 0;
  int bkMode_ = 2;  // OPAQUE
  double positionX_ = 0;
  double positionY_ = 0;
  GdiObject fontHandle_ = kStockFont;
  std::shared_ptr<CairoFont> font_;
  std::shared_ptr<CairoFont> stockFont_;
  GdiObject bitmapHandle_ = kStockBitmap;
  std::shared_ptr<BitmapObject> bitmap_;
  CairoContext bitmapContext_;
  std::vector<cairo_glyph_t> glyphs_;  // reused for every run
};

}  // namespace vorn::platform::posix
