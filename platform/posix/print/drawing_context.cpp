#include "platform/posix/print/drawing_context.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/error.h"
#include "platform/posix/print/cairo_memory_context.h"
#include "platform/posix/print/dib_image.h"
#include "platform/posix/print/paper.h"

namespace vorn::platform::posix {
namespace {

// GetDeviceCaps indices besides those the system names.
constexpr int kTechnology = 2;
constexpr int kHorzSize = 4;
constexpr int kVertSize = 6;
constexpr int kBitsPixel = 12;
constexpr int kPlanes = 14;
constexpr int kDtRasPrinter = 2;

// SetTextAlign's horizontal and vertical parts.
constexpr std::uint32_t kTaHorizontalMask = 6;
constexpr std::uint32_t kTaRight = 2;
constexpr std::uint32_t kTaCenter = 6;
constexpr std::uint32_t kTaVerticalMask = 24;
constexpr std::uint32_t kTaBottom = 8;
constexpr int kOpaque = 2;

int dotsFromMillimetres(double mm, int dpi) { return static_cast<int>(mm / kMillimetresPerInch * dpi); }

}  // namespace

PageGeometry pageGeometry(const PrinterDescription& printer, const PageSettings& settings, int dpi) {
  const PaperSize paper = paperByCode(settings.paperSize).value_or(*paperByCode(kDmPaperA4));
  const bool landscape = settings.orientation == kDmOrientLandscape;
  const double widthMm = landscape ? paper.heightMillimetres : paper.widthMillimetres;
  const double heightMm = landscape ? paper.widthMillimetres : paper.heightMillimetres;
  PageGeometry g;
  g.physicalWidth = dotsFromMillimetres(widthMm, dpi);
  g.physicalHeight = dotsFromMillimetres(heightMm, dpi);
  g.widthPoints = widthMm / kMillimetresPerInch * kPointsPerInch;
  g.heightPoints = heightMm / kMillimetresPerInch * kPointsPerInch;
  // A border that would leave less than half of the sheet printable is not believed.
  const int margin = static_cast<int>(std::lround(printer.marginThousandths * static_cast<double>(dpi) / 1000.0));
  const bool sensible = margin >= 0 && 4 * margin < std::min(g.physicalWidth, g.physicalHeight);
  g.offsetX = sensible ? margin : 0;
  g.offsetY = g.offsetX;
  return g;
}

DrawingContext::DrawingContext(std::shared_ptr<const PrinterDeviceSetup> setup, const DeviceMode* init)
    : setup_(std::move(setup)), objects_(std::make_shared<GdiObjectTable>()) {
  settings_ = pageSettings(setup_->printer, init);
  dpi_ = settings_.resolution;  // fixed for the device's life
  geometry_ = pageGeometry(setup_->printer, settings_, dpi_);
}

DrawingContext::DrawingContext(const DrawingContext& other, std::shared_ptr<GdiObjectTable> objects)
    : setup_(other.setup_),
      objects_(std::move(objects)),
      dpi_(other.dpi_),
      settings_(other.settings_),
      geometry_(other.geometry_) {}

int DrawingContext::getDeviceCaps(int index) {
  switch (index) {
    case kLogPixelsX:
    case kLogPixelsY: return dpi_;
    case kPhysicalOffsetX: return geometry_.offsetX;
    case kPhysicalOffsetY: return geometry_.offsetY;
    case kPhysicalWidth: return geometry_.physicalWidth;
    case kPhysicalHeight: return geometry_.physicalHeight;
    case kHorzRes: return geometry_.physicalWidth - 2 * geometry_.offsetX;
    case kVertRes: return geometry_.physicalHeight - 2 * geometry_.offsetY;
    case kHorzSize: return static_cast<int>(std::lround(getDeviceCaps(kHorzRes) * kMillimetresPerInch / dpi_));
    case kVertSize: return static_cast<int>(std::lround(getDeviceCaps(kVertRes) * kMillimetresPerInch / dpi_));
    case kRasterCaps: return kRcBitBlt;
    case kTechnology: return kDtRasPrinter;
    case kBitsPixel: return 24;
    case kPlanes: return 1;
    default: return 0;
  }
}

std::uint32_t DrawingContext::setTextAlign(std::uint32_t align) { return std::exchange(textAlign_, align); }

int DrawingContext::setBkMode(int mode) {
  if (mode != kTransparent && mode != kOpaque) {
    setLastError(kErrorInvalidParameter);
    return 0;
  }
  return std::exchange(bkMode_, mode);
}

std::shared_ptr<DeviceFont> DrawingContext::makeFont(const FontRequest& request) {
  if (!setup_->fonts) return nullptr;
  const std::shared_ptr<const ResolvedFace> face = setup_->fonts->resolve(request);
  if (!face) return nullptr;
  std::string error;
  auto program = objects_->fontProgram(face->file, face->index, error);
  if (!program) {
    setup_->fonts->reportUnreadable(error);
    return nullptr;
  }
  return DeviceFont::create(*face, std::move(program), request, dpi_);
}

const DeviceFont* DrawingContext::currentFont() {
  if (font_) return font_.get();
  if (!stockFont_) {
    FontRequest stock;  // the device's font before any is selected: 12 point, the default face
    stock.weight = 400;
    stock.pitchAndFamily = 0x22;
    stock.faceName = "Arial";
    stockFont_ = makeFont(stock);
  }
  return stockFont_.get();
}

bool DrawingContext::textOut(std::int32_t x, std::int32_t y, std::string_view text) {
  DrawingTarget* canvas = target();
  const DeviceFont* font = currentFont();
  if (canvas == nullptr || font == nullptr) {
    setLastError(kErrorInvalidHandle);
    return false;
  }
  const bool updateCp = (textAlign_ & kTaUpdateCp) != 0;
  double left = updateCp ? positionX_ : x;
  double baseline = updateCp ? positionY_ : y;
  const double width = font->width(text);
  switch (textAlign_ & kTaHorizontalMask) {
    case kTaRight: left -= width; break;
    case kTaCenter: left -= width / 2; break;
    default: break;
  }
  switch (textAlign_ & kTaVerticalMask) {
    case kTaBaseline: break;
    case kTaBottom: baseline -= font->descent(); break;
    default: baseline += font->ascent(); break;  // TA_TOP
  }

  if (bkMode_ == kOpaque && width > 0) {
    canvas->fillRectangle({left, baseline - font->ascent(), width, font->ascent() + font->descent()}, true);
  }
  canvas->showText(*font, text, left, baseline);
  if (font->underline() && width > 0) {
    const double t = font->underlineThickness();
    canvas->fillRectangle({left, baseline + font->underlineOffset() - t / 2, width, t}, false);
  }
  if (font->strikeOut() && width > 0) {
    const double t = font->strikeOutThickness();
    canvas->fillRectangle({left, baseline - font->strikeOutOffset() - t / 2, width, t}, false);
  }
  if (canvas->failed() || outputBroken()) {
    setLastError(kErrorWriteFault);
    return false;
  }
  if (updateCp) {
    // Kept in double precision: a run of many short pieces lands where one long run would.
    positionX_ = (textAlign_ & kTaHorizontalMask) == kTaRight ? left : font->end(text, left);
  }
  return true;
}

bool DrawingContext::moveTo(std::int32_t x, std::int32_t y) {
  positionX_ = x;
  positionY_ = y;
  return true;
}

bool DrawingContext::getCurrentPosition(Point& position) {
  position.x = static_cast<std::int32_t>(std::lround(positionX_));
  position.y = static_cast<std::int32_t>(std::lround(positionY_));
  return true;
}

GdiObject DrawingContext::createFont(const FontRequest& request) {
  std::shared_ptr<DeviceFont> font;
  font = makeFont(request);
  if (!font) {
    setLastError(kErrorInvalidParameter);
    return kNoObject;
  }
  return objects_->add(std::move(font));
}

GdiObject DrawingContext::selectObject(GdiObject object) {
  if (objects_->isFont(object)) {
    font_ = object == kStockFont ? nullptr : objects_->font(object);
    return std::exchange(fontHandle_, object);
  }
  return selectBitmap(object);
}

GdiObject DrawingContext::selectBitmap(GdiObject) {
  setLastError(kErrorInvalidHandle);
  return kNoObject;
}

bool DrawingContext::deleteObject(GdiObject object) {
  if (object == kStockFont || object == kStockBitmap) return true;  // stock objects stay
  if (!objects_->remove(object)) {
    setLastError(kErrorInvalidHandle);
    return false;
  }
  return true;
}

GdiObject DrawingContext::getCurrentObject(std::uint32_t kind) {
  if (kind == kObjFont) return fontHandle_;
  if (kind == kObjBitmap) return bitmapHandle_;
  setLastError(kErrorInvalidParameter);
  return kNoObject;
}

GdiObject DrawingContext::createDIBitmap(const BitmapInfoHeader& header, std::span<const std::byte> bits,
                                             std::span<const std::byte> info) {
  CairoSurface image = imageFromDib(header, bits, info);
  if (!image) {
    setLastError(kErrorInvalidParameter);
    return kNoObject;
  }
  auto bitmap = std::make_shared<BitmapObject>();
  bitmap->width = cairo_image_surface_get_width(image.get());
  bitmap->height = cairo_image_surface_get_height(image.get());
  bitmap->image = std::move(image);
  return objects_->add(std::move(bitmap));
}

bool DrawingContext::getBitmapSize(GdiObject object, std::int32_t& width, std::int32_t& height) {
  if (object == kStockBitmap) {
    width = height = 1;
    return true;
  }
  const auto bitmap = objects_->bitmap(object);
  if (!bitmap) {
    setLastError(kErrorInvalidHandle);
    return false;
  }
  width = bitmap->width;
  height = bitmap->height;
  return true;
}

std::unique_ptr<DeviceContext> DrawingContext::createCompatibleDC() {
  return std::make_unique<CairoMemoryContext>(*this, objects_);
}

bool DrawingContext::bitBlt(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                                DeviceContext& source, std::int32_t sourceX, std::int32_t sourceY,
                                std::uint32_t rop) {
  auto* memory = dynamic_cast<DrawingContext*>(&source);  // a memory device of this printer
  DrawingTarget* canvas = target();
  if (rop != kSrcCopy || memory == nullptr || memory->objects_ != objects_ || !memory->bitmap_ ||
      canvas == nullptr || width < 0 || height < 0) {
    setLastError(kErrorInvalidParameter);
    return false;
  }
  const BitmapObject& bitmap = *memory->bitmap_;
  std::optional<DrawingRectangle> clip;  // none for the whole image: a clip would be snapped to whole points
  if (sourceX != 0 || sourceY != 0 || width < bitmap.width || height < bitmap.height) {
    clip = DrawingRectangle{static_cast<double>(x), static_cast<double>(y), static_cast<double>(width),
                            static_cast<double>(height)};
  }
  canvas->drawBitmap(memory->bitmap_, static_cast<double>(x) - sourceX, static_cast<double>(y) - sourceY, clip);
  if (canvas->failed() || outputBroken()) {
    setLastError(kErrorWriteFault);
    return false;
  }
  return true;
}

int DrawingContext::escape(int function, std::span<const std::byte> input) {
  if (function == kQueryEscSupport) {
    if (input.size() < sizeof(std::uint16_t)) return -1;
    std::int32_t asked = 0;
    std::memcpy(&asked, input.data(), std::min(input.size(), sizeof asked));
    if (input.size() < sizeof asked) asked &= 0xFFFF;
    return asked == kQueryEscSupport ? 1 : 0;  // a PDF device takes no raw printer data
  }
  if (function == kPassthrough) {
    setLastError(kErrorNotSupported);
    return -1;
  }
  return 0;
}

}  // namespace vorn::platform::posix
