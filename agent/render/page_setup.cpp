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

// A new document starts from the records' own start values.
void resetDocumentState(RenderState& state) {
  state.document.pagesStarted = 0;
  state.document.docOpen = true;
  state.document.pageOpen = false;
  state.document.badBitmapsReported.clear();
  state.line = LineState{};
  state.format = FormatState{};
  state.fonts = FontCacheState{};
}

// Rewrites the three selectors into the printer's current defaults and resets
// the device with the result. A selector never set counts as "not 0".
int applyDeviceSettings(RenderState& state) {
  platform::DeviceMode& mode = *state.context.deviceMode;
  const platform::GdiObject font = state.document.dc->getCurrentObject(platform::kObjFont);

  std::unique_ptr<platform::PrinterHandle> printer;
  if (state.printers.openPrinter(state.context.printerName, printer) != 0 || !printer) return -1;
  if (printer->documentProperties(&mode, nullptr, platform::kDmOutBuffer) != platform::kIdOk) return -1;

  const std::uint32_t fields = mode.fields();
  if ((fields & platform::kDmOrientation) != 0) {
    mode.setOrientation(state.format.orientation != 0 ? platform::kDmOrientLandscape : platform::kDmOrientPortrait);
  }
  if ((fields & platform::kDmDefaultSource) != 0) {
    mode.setDefaultSource(static_cast<std::int16_t>(state.format.paperSource != 0 ? state.context.altTray : state.context.mainTray));
  }
  if ((fields & platform::kDmDuplex) != 0) {
    mode.setDuplex(state.format.duplex != 0 ? platform::kDmDupVertical : platform::kDmDupSimplex);
  }
  mode.setFields(platform::kDmOrientation | platform::kDmDefaultSource | platform::kDmDuplex);

  const int merged = printer->documentProperties(&mode, &mode, platform::kDmInBuffer | platform::kDmOutBuffer);
  printer.reset();
  if (merged != platform::kIdOk) return -1;

  state.document.dc->resetDC(mode);
  state.document.dc->setTextAlign(kTextAlign);
  if (font != platform::kNoObject) state.document.dc->selectObject(font);
  state.document.dc->setBkMode(platform::kTransparent);
  state.format.deviceModeDirty = false;
  return 0;
}

}  // namespace

int VornPrintStart(RenderState& state, std::string_view docName, platform::DeviceContext& dc,
                   std::uint32_t options) {
  state.document.options = options;
  if (state.document.docOpen) VornPrintEnd(state);

  // The metrics are read once per document, also across orientation changes.
  state.document.dc = &dc;
  state.document.dpiX = dc.getDeviceCaps(platform::kLogPixelsX);
  state.document.dpiY = dc.getDeviceCaps(platform::kLogPixelsY);
  state.document.offsetX = dc.getDeviceCaps(platform::kPhysicalOffsetX);
  state.document.offsetY = dc.getDeviceCaps(platform::kPhysicalOffsetY);
  state.document.pageHeight = dc.getDeviceCaps(platform::kVertRes);

  if (dc.setTextAlign(kTextAlign) == platform::kGdiError) return -2;
  dc.setBkMode(platform::kTransparent);

  platform::DocInfo info{docName, std::nullopt};
  if ((options & OPT_TO_FILE) != 0) info.output = state.context.outputFileName;
  if (dc.startDoc(info) <= 0) return -1;

  resetDocumentState(state);
  return 0;
}

int VornPrintEnd(RenderState& state) {
  if (!state.document.docOpen) return 0;
  // Text not ended by a line end is not drawn, and an owed advance is dropped.
  // A failed last page fails the document too, so EndDoc alone tells.
  if (state.document.pageOpen) state.document.dc->endPage();
  const bool completed = state.document.dc->endDoc() > 0;
  const std::uint32_t endError = platform::lastError();
  state.document.docOpen = false;
  state.document.pageOpen = false;
  ReleaseFonts(state);
  if (completed) return 0;
  platform::setLastError(endError);
  return -1;
}

int BeginPage(RenderState& state) {
  // Without a settings buffer the change stays pending and pages keep the device's settings.
  if (state.format.deviceModeDirty && state.context.deviceMode != nullptr && applyDeviceSettings(state) != 0) return -1;
  if (state.document.dc->startPage() <= 0) return -1;
  state.document.pageOpen = true;
  state.line.baselineY = LineOrigin(state);
  state.line.lineStartX = LeftMarginX(state);
  state.line.pendingAdvance = true;  // the page's first line is placed by the next flush
  state.document.pagesStarted = WrapAdd(state.document.pagesStarted, 1);
  return 0;
}

}  // namespace vorn
