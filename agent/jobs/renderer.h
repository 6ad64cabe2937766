// The rendering engine as the printer targets of a job use it. The agent
// drives the real engine (EngineRenderer); the seam lets the job operations
// be exercised against engine failures.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vorn::platform {
class DeviceContext;
}

namespace vorn {

class Renderer {
 public:
  virtual ~Renderer() = default;

  // Starts the document `docName` on `dc` (which stays the caller's); with
  // OPT_TO_FILE in `options` the document goes to `outputFileName`.
  // 0 on success, otherwise the engine's failure code.
  virtual int start(std::string_view docName, std::string_view outputFileName,
                    platform::DeviceContext& dc, std::uint32_t options) = 0;
  // Renders one block of print stream: 0, or the engine's failure code.
  virtual int data(std::span<const std::uint8_t> block) = 0;
  // Ends the document; the device context is still the caller's.
  virtual void end() = 0;
};

}  // namespace vorn
