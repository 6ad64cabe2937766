// A rendering engine on a recording device, a fake printer and an in-memory
// load directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "agent/render/render_state.h"
#include "agent/render/page_setup.h"
#include "agent/render/print_stream.h"
#include "agent/render/vorn_print.h"
#include "platform/device_mode.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/fakes/recording_device.h"

namespace vorn::testing {

using fakes::Call;

inline std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A command followed by a NUL (which ends the parameter and is skipped).
inline std::string command(char letter, const std::string& parameter) {
  return std::string("\x02") + letter + parameter + std::string(1, '\0');
}

class RenderFixture : public ::testing::Test {
 protected:
  RenderFixture() : deviceMode(fakes::FakePrinterSystem{}.driverSize) {
    state.context.printerName = printers.printerName;
    state.context.deviceMode = &deviceMode;
    state.context.mainTray = 7;
    state.context.altTray = 8;
    state.context.loadDirectory = "forms";
  }

  fakes::DeviceLog& log() { return device.log(); }

  int start(std::uint32_t options = 0, std::string_view docName = "Vorn: REPORT") {
    return VornPrintStart(state, docName, device, options);
  }
  int print(std::string_view text) { return VornPrintData(state, bytesOf(text)); }

  // Text runs as "text@x,y".
  std::vector<std::string> placedTexts() {
    std::vector<std::string> out;
    for (const auto& c : log().of(Call::TextOut)) {
      out.push_back(c.text + "@" + std::to_string(c.x) + "," + std::to_string(c.y));
    }
    return out;
  }

  fakes::FakePrinterSystem printers;
  fakes::FakeFileSystem files;
  fakes::RecordingDevice device;
  platform::DeviceMode deviceMode;
  RenderState state{printers, files};
};

}  // namespace vorn::testing
