#include "agent/render/renderer.h"

#include <utility>

#include "agent/render/page_setup.h"
#include "agent/render/print_stream.h"

namespace vorn {

Renderer::Renderer(platform::PrinterSystem& printers, platform::FileSystem& files) : state_(printers, files) {}

void Renderer::setContext(RenderContext context) { state_.context = std::move(context); }

int Renderer::VornPrintStart(std::string_view docName, platform::DeviceContext& dc, std::uint32_t options,
                             std::string_view outputFileName) {
  state_.context.outputFileName = outputFileName;
  return vorn::VornPrintStart(state_, docName, dc, options);
}

int Renderer::VornPrintData(std::span<const std::uint8_t> block) { return vorn::VornPrintData(state_, block); }

int Renderer::VornPrintEnd() { return vorn::VornPrintEnd(state_); }

}  // namespace vorn
