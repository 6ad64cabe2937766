// A renderer that records what it is asked to do and fails where told to.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "agent/jobs/renderer.h"

namespace vorn::fakes {

class FakeRenderer final : public Renderer {
 public:
  int startResult = 0;
  int dataResult = 0;
  int failDataAtCall = -1;  // index of the data call that returns dataResult; -1: every call

  int starts = 0;
  int dataCalls = 0;
  int ends = 0;
  std::string docName;
  std::string outputFileName;
  std::uint32_t options = 0;
  std::string rendered;  // every block, concatenated

  int start(std::string_view name, std::string_view outputFile, platform::DeviceContext&,
            std::uint32_t optionBits) override {
    ++starts;
    docName = std::string(name);
    outputFileName = std::string(outputFile);
    options = optionBits;
    return startResult;
  }
  int data(std::span<const std::uint8_t> block) override {
    const int call = dataCalls++;
    rendered.append(block.begin(), block.end());
    if (failDataAtCall < 0 || call == failDataAtCall) return dataResult;
    return 0;
  }
  void end() override { ++ends; }
};

}  // namespace vorn::fakes
