// The rendering engine as its owner uses it: the printer it draws for, and
// the three entry points that open a document on a device context, interpret
// the print stream's blocks on it and end it. The engine's state stays
// inside; only the engine's own parts work on it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "agent/render/render_state.h"

namespace vorn::platform {
class DeviceContext;
class FileSystem;
class PrinterSystem;
}  // namespace vorn::platform

namespace vorn {

class Renderer {
 public:
  // The platform services the engine reaches the printer and the load
  // directory through; both must outlive the renderer.
  Renderer(platform::PrinterSystem& printers, platform::FileSystem& files);

  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // The printer the next documents are drawn for. What `context` points to
  // (the device mode, the bad bitmap report) must live until the context is
  // replaced; an empty context lets go of it. Its output file name is replaced
  // by each VornPrintStart.
  void setContext(RenderContext context);
  const RenderContext& context() const { return state_.context; }

  // Opens a document named `docName` on `dc` (owned by the caller, which
  // deletes it after VornPrintEnd or after a failed start), written to
  // `outputFileName` when `options` hold OPT_TO_FILE. An open document is
  // ended first. 0, -1 when the spooler refused the document, -2 when the
  // text alignment could not be set.
  int VornPrintStart(std::string_view docName, platform::DeviceContext& dc, std::uint32_t options,
                     std::string_view outputFileName = {});

  // Interprets one block of print stream on the open document. 0, or a
  // negative code on failure (-1 when no document is open).
  int VornPrintData(std::span<const std::uint8_t> block);

  // Ends the open document, if any. 0, or -1 when the device could not
  // complete it (the document is lost); the last error is then EndDoc's.
  int VornPrintEnd();

  // Pages started in the current (or last) document.
  std::int32_t pagesStarted() const { return state_.document.pagesStarted; }

 private:
  RenderState state_;
};

}  // namespace vorn
