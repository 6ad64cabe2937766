// A host link that keeps every message the agent writes to the host.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "agent/hostlink/host_link.h"

namespace vorn::testing {

class JobsFakeHostLink final : public HostLink {
 public:
  platform::HRESULT writeResult = platform::kSOk;
  std::vector<std::uint16_t> types;
  std::vector<std::vector<std::uint8_t>> messages;

  platform::HRESULT WriteMessage(const Variant& message) override {
    types.push_back(message.vt);
    messages.emplace_back(message.bytes.begin(), message.bytes.end());
    return writeResult;
  }
  platform::HRESULT Connect(std::string_view, std::int32_t, std::int32_t, std::int32_t,
                            std::string_view, std::int32_t, std::string_view) override {
    return platform::kSOk;
  }
  platform::HRESULT Advise(HostLinkEvents&, std::uint32_t& cookie) override {
    cookie = 1;
    return platform::kSOk;
  }
  platform::HRESULT Unadvise(std::uint32_t) override { return platform::kSOk; }
};

}  // namespace vorn::testing
