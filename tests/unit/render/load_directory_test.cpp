// Bitmaps and macros read from a real load directory through the machine's
// file system, with paths composed as on Windows.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/unit/render/bmp_builder.h"
#include "tests/unit/render/render_fixture.h"
#include "tests/support/test_support.h"

namespace vorn::testing {
namespace {

class LoadDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = test::makeTemporaryFolder("vorn-render-");
    state.context.loadDirectory = directory.string();
    ASSERT_EQ(VornPrintStart(state, "Vorn: FILES", device, 0), 0);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  void write(const std::string& name, const std::vector<std::byte>& bytes) {
    std::ofstream out(directory / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
  }
  int print(const std::string& text) { return VornPrintData(state, bytesOf(text)); }

  std::filesystem::path directory;
  fakes::FakePrinterSystem printers;
  fakes::RecordingDevice device;
  RenderState state{printers, platform::systemFileSystem()};
};

TEST_F(LoadDirectoryTest, LoadsEachDepthWithItsColourTable) {
  const std::vector<BmpSpec> specs = {{9, 5, 1, 2}, {5, 2, 4, 16}, {3, 3, 8, 256}, {5, 3, 24, 0}};
  std::string stream;
  for (std::size_t i = 0; i < specs.size(); ++i) {
    write("IMG" + std::to_string(i) + ".bmp", makeBmp(specs[i]));
    stream += "\x02" "2IMG" + std::to_string(i) + std::string(1, '\0');
  }
  ASSERT_EQ(print(stream), 0);
  const auto created = device.log().of(Call::CreateDIBitmap);
  ASSERT_EQ(created.size(), specs.size());
  for (std::size_t i = 0; i < specs.size(); ++i) {
    EXPECT_EQ(created[i].dib.bitCount, specs[i].bits);
    EXPECT_EQ(created[i].data.size(), 40 + specs[i].colours * 4);
    EXPECT_EQ(created[i].bitsSize, rowStride(specs[i]) * static_cast<std::size_t>(std::abs(specs[i].height)));
  }
  EXPECT_EQ(device.log().count(Call::BitBlt), 4);
}

TEST_F(LoadDirectoryTest, MalformedBitmapFallsBackToTheMacroFile) {
  auto bitmap = makeBmp({});
  bitmap.pop_back();  // the size field no longer matches
  write("FORM.bmp", bitmap);
  const std::string macro = "\x1b" "&l1O";
  write("FORM.mac", {reinterpret_cast<const std::byte*>(macro.data()),
                     reinterpret_cast<const std::byte*>(macro.data()) + macro.size()});
  ASSERT_EQ(print("\x02" "2FORM" + std::string(1, '\0')), 0);
  EXPECT_EQ(device.log().count(Call::CreateDIBitmap), 0);
  const auto escapes = device.log().of(Call::Escape);
  ASSERT_EQ(escapes.size(), 2u);
  EXPECT_EQ(escapes[1].data.size(), macro.size() + 2);
  EXPECT_EQ(std::to_integer<std::size_t>(escapes[1].data[0]), macro.size());
}

TEST_F(LoadDirectoryTest, NamesCannotLeaveTheLoadDirectory) {
  const auto sub = directory / "sub";
  std::filesystem::create_directory(sub);
  write("OUT.bmp", makeBmp({}));
  state.context.loadDirectory = sub.string();
  ASSERT_EQ(print("\x02" "2..\\OUT" + std::string(1, '\0') + "\x02" "2../OUT" + std::string(1, '\0')), 0);
  EXPECT_EQ(device.log().count(Call::CreateDIBitmap), 0);
}

}  // namespace
}  // namespace vorn::testing
