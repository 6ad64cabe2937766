#include "agent/jobs/engine_renderer.h"

#include <string>

#include "agent/render/render_state.h"
#include "agent/render/vorn_print.h"

namespace vorn {

int EngineRenderer::start(std::string_view docName, std::string_view outputFileName,
                          platform::DeviceContext& dc, std::uint32_t options) {
  // The engine names its output file from its state.
  state_.outputFileName = std::string(outputFileName);
  return VornPrintStart(state_, docName, dc, options);
}

int EngineRenderer::data(std::span<const std::uint8_t> block) { return VornPrintData(state_, block); }

void EngineRenderer::end() { VornPrintEnd(state_); }

}  // namespace vorn
