// The job operations' access to the agent's rendering engine.
#pragma once

#include "agent/jobs/renderer.h"

namespace vorn {

struct RenderState;

class EngineRenderer final : public Renderer {
 public:
  // `state` is the agent's one engine state; it must outlive this object.
  explicit EngineRenderer(RenderState& state) : state_(state) {}

  int start(std::string_view docName, std::string_view outputFileName, platform::DeviceContext& dc,
            std::uint32_t options) override;
  int data(std::span<const std::uint8_t> block) override;
  void end() override;

 private:
  RenderState& state_;
};

}  // namespace vorn
