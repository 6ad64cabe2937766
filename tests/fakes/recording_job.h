// A print job that writes down every call the intake makes, as short lines
// ("end", "start 0x68", "data 'abc' last", "report X", "file Y").
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "agent/jobs/job_operations.h"

namespace vorn::fakes {

class RecordingJob final : public JobOperations {
 public:
  bool startSucceeds = true;
  bool open = false;
  std::vector<std::string> calls;
  std::string data;  // the bytes of every block passed while open

  void setReportName(std::string reportName) override { calls.push_back("report " + reportName); }
  void setOutputFileName(std::string fileName) override { calls.push_back("file " + fileName); }
  void jobstart(std::uint32_t options) override {
    char text[32];
    std::snprintf(text, sizeof text, "start 0x%02x", static_cast<unsigned>(options));
    calls.emplace_back(text);
    open = startSucceeds;
  }
  bool jobdata(std::span<const std::uint8_t> block, bool last) override {
    std::string bytes(block.begin(), block.end());
    calls.push_back("data '" + bytes + "'" + (last ? " last" : ""));
    if (open) data += bytes;
    return open;
  }
  void jobend() override {
    if (!open) return;
    calls.emplace_back("end");
    open = false;
  }
};

}  // namespace vorn::fakes
