// Cutting a stream into blocks at the boundaries CompleteSequencesLength
// gives prints exactly what the stream prints as one block.
#include "agent/render/stream_blocks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "agent/render/render_state.h"
#include "agent/render/page_setup.h"
#include "agent/render/print_stream.h"
#include "agent/render/vorn_print.h"
#include "platform/device_mode.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/fakes/recording_device.h"

namespace vorn {
namespace {

std::vector<std::uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

struct Case {
  const char* name;
  std::string data;
  std::size_t expected;
};

TEST(CompleteSequencesLength, EndsOnlyBetweenCompleteSequences) {
  const std::vector<Case> cases = {
      {"text", "ABC", 3},
      {"a line feed", "AB\n", 3},
      {"a carriage return whose line feeds may go on", "AB\r\n\n", 2},
      {"a carriage return group ended by text", "AB\r\n\nC", 6},
      {"an STX without its letter", "AB\x02", 2},
      {"a command whose parameter may go on", "AB\x02" "A120", 2},
      {"a command ended by a control byte", "\x02" "A120\x07", 6},
      {"an SO without its count", "A\x0e", 1},
      {"an SO with its count", "A\x0e\x05", 3},
      {"a DC4 without its length", "A\x14", 1},
      {"a DC4 whose data is cut", std::string("A\x14\x23XY", 5), 1},
      {"a DC4 with all its data", std::string("A\x14\x23XYZ", 6), 6},
      {"a DC4 with a length below the bias", std::string("A\x14\x05Z", 4), 4},
      {"NUL bytes", std::string("A\0\0", 3), 3},
      {"nothing", "", 0},
  };
  for (const Case& c : cases) {
    const auto data = bytes(c.data);
    EXPECT_EQ(CompleteSequencesLength(data), c.expected) << c.name;
  }
}

// One engine on a recording device.
struct Engine {
  Engine() : deviceMode(fakes::FakePrinterSystem{}.driverSize) {
    state.context.printerName = printers.printerName;
    state.context.deviceMode = &deviceMode;
    state.context.loadDirectory = "forms";
  }

  // The calls as comparable text.
  std::vector<std::string> trace() {
    std::vector<std::string> out;
    for (const fakes::DeviceCall& c : device.log().calls) {
      out.push_back(std::to_string(static_cast<int>(c.kind)) + " " + std::to_string(c.x) + "," +
                    std::to_string(c.y) + " " + std::to_string(c.value) + " " + c.text + " " +
                    std::to_string(c.font.height) + " " + std::to_string(c.dmOrientation) + " " +
                    std::to_string(c.dmDuplex) + " " + std::to_string(c.data.size()));
    }
    return out;
  }

  fakes::FakePrinterSystem printers;
  fakes::FakeFileSystem files;
  fakes::RecordingDevice device;
  platform::DeviceMode deviceMode;
  RenderState state{printers, files};
};

// A stream of the pieces that span more than one byte, with text between them.
std::vector<std::uint8_t> randomStream(std::mt19937& random, std::size_t pieces) {
  const std::vector<std::string> alphabet = {
      "TEXT ",   "\n",        "\r",          "\r\n\n",     "\f",          "\x0e\x07", "\x0e\xff",
      "\x14\x23" "ABC",        "\x14\x05",    "\x02" "@80", "\x02" "A120",  "\x02" "E1", "\x02" "q1",
      "\x02" "J12", "\x02" "$", "\x02" "%30", "\x02" "C3",  "\x02\x0a",     "\x07",     std::string(1, '\0'),
      "\x02" "\"1", "\x02" "2LOGO", "\x02" "H1", "\x02" "I",
  };
  std::vector<std::uint8_t> stream;
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::string& piece = alphabet[pick(random)];
    stream.insert(stream.end(), piece.begin(), piece.end());
  }
  return stream;
}

TEST(CompleteSequencesLength, BlocksCutThereRenderAsTheWholeStream) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 40; ++round) {
    const auto stream = randomStream(random, 400);
    Engine whole;
    ASSERT_EQ(VornPrintStart(whole.state, "Vorn: R", whole.device, OPT_TOP_LINE), 0);
    const int wholeResult = VornPrintData(whole.state, stream);
    VornPrintEnd(whole.state);

    // Read in small pieces, as a file is read, and hand over what is complete.
    const std::size_t readSize = 1 + round % 7;
    Engine blocks;
    ASSERT_EQ(VornPrintStart(blocks.state, "Vorn: R", blocks.device, OPT_TOP_LINE), 0);
    std::vector<std::uint8_t> pending;
    int blocksResult = 0;
    for (std::size_t at = 0; at < stream.size() && blocksResult == 0; at += readSize) {
      const std::size_t count = std::min(readSize, stream.size() - at);
      pending.insert(pending.end(), stream.begin() + static_cast<std::ptrdiff_t>(at),
                     stream.begin() + static_cast<std::ptrdiff_t>(at + count));
      const bool atEnd = at + count == stream.size();
      const std::size_t ready = atEnd ? pending.size() : CompleteSequencesLength(pending);
      blocksResult = VornPrintData(blocks.state, std::span(pending).first(ready));
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(ready));
    }
    VornPrintEnd(blocks.state);

    EXPECT_EQ(blocksResult, wholeResult) << "round " << round;
    ASSERT_EQ(blocks.trace(), whole.trace()) << "round " << round << ", read size " << readSize;
  }
}

}  // namespace
}  // namespace vorn
