#include "agent/jobs/engine_renderer.h"

#include <gtest/gtest.h>

#include "agent/render/render_state.h"
#include "agent/render/vorn_print.h"
#include "platform/device_mode.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/fakes/recording_device.h"

namespace vorn::testing {
namespace {

using fakes::Call;

class EngineRendererTest : public ::testing::Test {
 protected:
  EngineRendererTest() { state.deviceMode = &deviceMode; }

  fakes::FakePrinterSystem printers;
  fakes::FakeFileSystem files;
  platform::DeviceMode deviceMode{platform::DeviceMode::kPublicSize};
  RenderState state{printers, files};
  EngineRenderer renderer{state};
  fakes::RecordingDevice device;
};

TEST_F(EngineRendererTest, PrintToFileNamesTheOutputFileAsTheDocumentsOutput) {
  ASSERT_EQ(renderer.start("Vorn: Daily", "/out/Daily.dat", device, OPT_TO_FILE), 0);
  EXPECT_EQ(state.outputFileName, "/out/Daily.dat");
  const auto docs = device.log().of(Call::StartDoc);
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_EQ(docs[0].text, "Vorn: Daily");
  EXPECT_EQ(docs[0].output, std::optional<std::string>("/out/Daily.dat"));
  renderer.end();
  EXPECT_EQ(device.log().count(Call::EndDoc), 1);
}

TEST_F(EngineRendererTest, SpoolerDocumentHasNoOutputFile) {
  ASSERT_EQ(renderer.start("Vorn: Daily", "", device, 0), 0);
  const auto docs = device.log().of(Call::StartDoc);
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_FALSE(docs[0].output.has_value());
  renderer.end();
}

TEST_F(EngineRendererTest, RefusedDocumentIsAFailedStart) {
  device.log().failEvery(Call::StartDoc);
  EXPECT_NE(renderer.start("Vorn: Daily", "", device, 0), 0);
}

}  // namespace
}  // namespace vorn::testing
