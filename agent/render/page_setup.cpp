// Document start and end on the printer device, and page start with the
// orientation, paper source and duplex the stream selected.
#include "agent/render/page_setup.h"

#include <memory>
#include <optional>

#include "agent/render/fonts.h"
#include "agent/render/vorn_print.h"
#include "agent/render/wrapping_math.h"
#include "platform/device_mode.h"
#include "platform/error.h"
#include "platform/printer_system.h"

namespace vorn {
namespace {

// Baseline alignment, and text moves the current position past itself.
constexpr std::uint32_t kTextAlign = platform::kTaBaseline | platform::kTaUpdateCp;

void resetDocumentState(RenderState& state) {
  state.pagesStarted = 0;
  state.docOpen = true;
  state.pageOpen = false;
  state.baselineY = 0;
  state.lineStartX = 0;
  state.pendingAdvance = false;
  state.lineLength = 0;
  state.lineCharactersDrawn = 0;
  state.linePastPage = false;

  state.linePitch = 60;
  state.charPitch = 100;
  state.underline = 0;
  state.strokeWeight = 0;
  state.italic = 0;
  state.typeface = 0;
  state.proportional = 0;
  state.fontHeight = 0;
  state.topMargin = 0;
  state.leftMargin = 0;
  state.orientation = -1;
  state.paperSource = -1;
  state.duplex = -1;
  state.deviceModeDirty = false;
  state.fontDirty = true;
  state.badBitmapsReported.clear();

  state.currentKey = FontKey{};
  state.FontCache = {};
  state.cacheLast = -1;
  state.originalFont = platform::kNoObject;
}

// Rewrites the three selectors into the printer's current defaults and resets
// the device with the result. A selector never set counts as "not 0".
int applyDeviceSettings(RenderState& state) {
  platform::DeviceMode& mode = *state.deviceMode;
  const platform::GdiObject font = state.dc->getCurrentObject(platform::kObjFont);

  std::unique_ptr<platform::PrinterHandle> printer;
  if (state.printers.openPrinter(state.printerName, printer) != 0 || !printer) return -1;
  if (printer->documentProperties(&mode, nullptr, platform::kDmOutBuffer) != platform::kIdOk) return -1;

  const std::uint32_t fields = mode.fields();
  if ((fields & platform::kDmOrientation) != 0) {
    mode.setOrientation(state.orientation != 0 ? platform::kDmOrientLandscape : platform::kDmOrientPortrait);
  }
  if ((fields & platform::kDmDefaultSource) != 0) {
    mode.setDefaultSource(static_cast<std::int16_t>(state.paperSource != 0 ? state.altTray : state.mainTray));
  }
  if ((fields & platform::kDmDuplex) != 0) {
    mode.setDuplex(state.duplex != 0 ? platform::kDmDupVertical : platform::kDmDupSimplex);
  }
  mode.setFields(platform::kDmOrientation | platform::kDmDefaultSource | platform::kDmDuplex);

  const int merged = printer->documentProperties(&mode, &mode, platform::kDmInBuffer | platform::kDmOutBuffer);
  printer.reset();
  if (merged != platform::kIdOk) return -1;

  state.dc->resetDC(mode);
  state.dc->setTextAlign(kTextAlign);
  if (font != platform::kNoObject) state.dc->selectObject(font);
  state.dc->setBkMode(platform::kTransparent);
  state.deviceModeDirty = false;
  return 0;
}

}  // namespace

int VornPrintStart(RenderState& state, std::string_view docName, platform::DeviceContext& dc,
                   std::uint32_t options) {
  state.options = options;
  if (state.docOpen) VornPrintEnd(state);

  // The metrics are read once per document, also across orientation changes.
  state.dc = &dc;
  state.dpiX = dc.getDeviceCaps(platform::kLogPixelsX);
  state.dpiY = dc.getDeviceCaps(platform::kLogPixelsY);
  state.offsetX = dc.getDeviceCaps(platform::kPhysicalOffsetX);
  state.offsetY = dc.getDeviceCaps(platform::kPhysicalOffsetY);
  state.pageHeight = dc.getDeviceCaps(platform::kVertRes);

  if (dc.setTextAlign(kTextAlign) == platform::kGdiError) return -2;
  dc.setBkMode(platform::kTransparent);

  platform::DocInfo info{docName, std::nullopt};
  if ((options & OPT_TO_FILE) != 0) info.output = state.outputFileName;
  if (dc.startDoc(info) <= 0) return -1;

  resetDocumentState(state);
  return 0;
}

int VornPrintEnd(RenderState& state) {
  if (!state.docOpen) return 0;
  // Text not ended by a line end is not drawn, and an owed advance is dropped.
  // A failed last page fails the document too, so EndDoc alone tells.
  if (state.pageOpen) state.dc->endPage();
  const bool completed = state.dc->endDoc() > 0;
  const std::uint32_t endError = platform::lastError();
  state.docOpen = false;
  state.pageOpen = false;
  ReleaseFonts(state);
  if (completed) return 0;
  platform::setLastError(endError);
  return -1;
}

int BeginPage(RenderState& state) {
  // Without a settings buffer the change stays pending and pages keep the device's settings.
  if (state.deviceModeDirty && state.deviceMode != nullptr && applyDeviceSettings(state) != 0) return -1;
  if (state.dc->startPage() <= 0) return -1;
  state.pageOpen = true;
  state.baselineY = LineOrigin(state);
  state.lineStartX = LeftMarginX(state);
  state.pendingAdvance = true;  // the page's first line is placed by the next flush
  state.pagesStarted = WrapAdd(state.pagesStarted, 1);
  return 0;
}

}  // namespace vorn
