// The rendering engine's state, in the records its parts share: the context its
// owner gives it, the open document, the line, the format and the fonts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_context.h"

namespace vorn::platform {
class DeviceMode;
class FileSystem;
class PrinterSystem;
}  // namespace vorn::platform

namespace vorn {

// Text gathered for one TextOutA call.
inline constexpr std::size_t kLineBufferSize = 1000;
// Fonts kept alive per document, reused in rotation.
inline constexpr std::size_t kFontCacheSlots = 16;

// The formatting parameters that define a font.
struct FontKey {
  std::int32_t linePitch = -1;
  std::int32_t charPitch = -1;
  std::int32_t underline = -1;
  std::int32_t strokeWeight = -1;
  std::int32_t italic = -1;
  std::int32_t typeface = -1;
  std::int32_t proportional = -1;
  std::int32_t fontHeight = -1;

  friend bool operator==(const FontKey&, const FontKey&) = default;
};

struct FontSlot {
  platform::GdiObject font = platform::kNoObject;  // owned by the engine
  FontKey key;
};

// What the engine's owner tells it about the printer: filled before
// documents are printed and only read by the engine.
struct RenderContext {
  std::string printerName;                       // profile printername
  platform::DeviceMode* deviceMode = nullptr;    // owned by the agent; changed in place at page start
  std::uint16_t mainTray = 0;                    // profile MainTray
  std::uint16_t altTray = 0;                     // profile AltTray
  std::string loadDirectory;                     // profile loadarea, as stored
  std::string outputFileName;                    // per document, when printing to a file
  // Told of a bitmap file that exists but cannot be drawn (malformed, or a
  // layout the device cannot show), once per file and document; its macro
  // is tried as for an absent file.
  std::function<void(std::string_view path)> badBitmapFile;
};

// The open document: its device and what was read of it when it started.
struct DocumentState {
  platform::DeviceContext* dc = nullptr;  // belongs to the caller
  std::uint32_t options = 0;
  std::int32_t dpiX = 0;
  std::int32_t dpiY = 0;
  std::int32_t offsetX = 0;
  std::int32_t offsetY = 0;
  std::int32_t pageHeight = 0;
  bool docOpen = false;
  bool pageOpen = false;
  std::int32_t pagesStarted = 0;
  std::vector<std::string> badBitmapsReported;  // paths, in this document
};

// The line being laid out; its start values are those of a new document.
struct LineState {
  std::int32_t baselineY = 0;
  std::int32_t lineStartX = 0;
  bool pendingAdvance = false;
  std::array<char, kLineBufferSize> lineBuffer{};
  std::size_t lineLength = 0;
  // Characters drawn since the position was last set (a line start, a
  // column). Once a line holds more than a buffer's worth, the device is asked
  // where the text has got to; text that starts past what any page can show
  // is dropped unread until the position is set again, so an endless line
  // costs no memory in the device.
  std::size_t lineCharactersDrawn = 0;
  bool linePastPage = false;
};

// The formatting parameters the stream's commands change; their start values
// are those of a new document.
struct FormatState {
  std::int32_t linePitch = 60;     // lines per ten inches
  std::int32_t charPitch = 100;    // characters per ten inches
  std::int32_t underline = 0;
  std::int32_t strokeWeight = 0;   // -7 thinnest … 7 heaviest
  std::int32_t italic = 0;
  std::int32_t typeface = 0;
  std::int32_t proportional = 0;
  std::int32_t fontHeight = 0;     // decipoints; 0 derives it from the line pitch
  std::int32_t topMargin = 0;      // tenths of a line from the sheet's top edge
  std::int32_t leftMargin = 0;     // tenths of a column from the sheet's left edge
  std::int32_t orientation = -1;   // -1 never set in this document
  std::int32_t paperSource = -1;
  std::int32_t duplex = -1;
  bool deviceModeDirty = false;    // orientation, paper source or duplex changed since the device was set up
  bool fontDirty = true;           // a command may have changed the font's parameters
};

// The fonts made for this document, reused in rotation.
struct FontCacheState {
  FontKey currentKey;                                // the font selected last
  std::array<FontSlot, kFontCacheSlots> FontCache{};
  std::int32_t cacheLast = -1;                       // slot filled last
  platform::GdiObject originalFont = platform::kNoObject;  // the device's font before ours
};

// The rendering engine's one state record per agent process. Its owner
// reaches it through the Renderer; the engine's parts share it.
struct RenderState {
  // The platform services the engine reaches the printer and the load directory through.
  RenderState(platform::PrinterSystem& printers, platform::FileSystem& files)
      : printers(printers), files(files) {}

  platform::PrinterSystem& printers;
  platform::FileSystem& files;

  RenderContext context;
  DocumentState document;
  LineState line;
  FormatState format;
  FontCacheState fonts;
};

}  // namespace vorn
