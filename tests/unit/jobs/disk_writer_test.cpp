#include "agent/jobs/disk_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "agent/diag/exceptions.h"
#include "platform/error.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/unit/jobs/jobs_test_helpers.h"

namespace vorn::testing {
namespace {

struct Written {
  std::string text;
  std::vector<std::size_t> writes;
};

Written write(std::string_view block, bool last, bool jetform) {
  fakes::FakeFileSystem files;
  std::unique_ptr<platform::File> file;
  EXPECT_EQ(files.createExclusive("out", file), platform::kErrorSuccess);
  const Bytes bytes = bytesOf(block);
  EXPECT_EQ(writedisk(*file, bytes, last, jetform), 0);
  return {files.content("out"), files.writeSizes};
}

struct TranslationCase {
  const char* name;
  std::string block;
  bool last;
  bool jetform;
  std::string expected;
};

class DiskTranslation : public ::testing::TestWithParam<TranslationCase> {};

TEST_P(DiskTranslation, TranslatesTheBlock) {
  const auto& c = GetParam();
  EXPECT_EQ(write(c.block, c.last, c.jetform).text, c.expected);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Table, DiskTranslation,
    ::testing::Values(
        TranslationCase{"TextAndLineEndsPass", "Ab 1\r\n\x7f\xff", false, false, "Ab 1\r\n\x7f\xff"},
        TranslationCase{"OtherControlBytesVanish", "a\tb\x01\x03\x0b\x0f\x13\x15\x1f"s + '\0' + "c",
                        false, false, "abc"},
        TranslationCase{"EmbeddedCommandDroppedUpToControlByte", "x\x02" "A12\ry", false, false,
                        "x\ry"},
        TranslationCase{"EmbeddedCommandRunsToBlockEnd", "x\x02" "A12", false, false, "x"},
        TranslationCase{"CommandThenCommand", "\x02" "A\x02" "B\nz", false, false, "\nz"},
        TranslationCase{"FormFeedKeptWithoutJetform", "A\fB\f", true, false, "A\fB\f"},
        TranslationCase{"JetformEjectLastBlock", "A\fB\f", true, true, "A\r\n^EJECT\r\nB\r\n"},
        TranslationCase{"JetformEjectNotLastBlock", "A\fB\f", false, true,
                        "A\r\n^EJECT\r\nB\r\n^EJECT\r\n"},
        TranslationCase{"JetformFormFeedBeforeEndIsEject", "\fB", true, true, "\r\n^EJECT\r\nB"},
        TranslationCase{"BlanksFromCount", "a\x0e\x05z", false, false, "a     z"},
        TranslationCase{"ZeroBlanks", "a\x0e"s + '\0' + "z", false, false, "az"},
        TranslationCase{"BlankCountAtBlockEndWritesNothing", "a\x0e", false, false, "a"},
        TranslationCase{"RawDataPassesControlBytes", "\x14\x23\x01\x02\x03z", false, false,
                        "\x01\x02\x03z"},
        TranslationCase{"RawDataOfLengthThirtyTwoIsEmpty", "\x14\x20z", false, false, "z"},
        TranslationCase{"RawLengthMissingWritesNothing", "a\x14", false, false, "a"},
        TranslationCase{"RawDataCutByBlockEnd", "\x14\x25" "ab", false, false, "ab"},
        TranslationCase{"RawLengthBelowBiasSkipsTwoBytes", "\x14\x10z", false, false, "z"},
        TranslationCase{"RawLengthBelowBiasDoesNotSwallowControl", "\x14\x0dz\r", false, false, "z\r"},
        TranslationCase{"EmptyBlock", "", true, true, ""}),
    [](const ::testing::TestParamInfo<TranslationCase>& info) { return info.param.name; });

TEST(DiskWriter, RawDataOfMaximumLength) {
  const std::string raw(223, '\x01');
  EXPECT_EQ(write("\x14\xff"s + raw + "z", false, false).text, raw + "z");
}

struct FlushCase {
  const char* name;
  std::string block;
  std::vector<std::size_t> writes;
};

TEST(DiskWriter, StagingBufferWritesWhenFullAndAtBlockEnd) {
  const FlushCase cases[] = {
      {"empty block writes nothing", "", {}},
      {"small block once", "abc", {3}},
      {"exactly full", std::string(1000, 'a'), {1000}},
      {"one over", std::string(1001, 'a'), {1000, 1}},
      {"two and a half", std::string(2500, 'a'), {1000, 1000, 500}},
      {"item that would not fit goes whole to the next",
       std::string(995, 'a') + "\x0e\x0a", {995, 10}},
      {"eject mark is not split", std::string(995, 'a') + "\f", {995, 10}},
      {"item that fits exactly", std::string(990, 'a') + "\f", {1000}},
      {"raw data not split", std::string(900, 'a') + "\x14\xff" + std::string(223, 'r'), {900, 223}},
  };
  for (const auto& c : cases) {
    const Written w = write(c.block, false, true);
    EXPECT_EQ(w.writes, c.writes) << c.name;
  }
}

TEST(DiskWriter, FailedWriteThrowsFileExceptionWithTheSystemError) {
  fakes::FakeFileSystem files;
  files.writeError = platform::kErrorDiskFull;
  files.failWritesFrom = 1;
  std::unique_ptr<platform::File> file;
  ASSERT_EQ(files.createExclusive("out", file), platform::kErrorSuccess);
  const Bytes block(1500, 'a');
  try {
    writedisk(*file, block, false, false);
    ADD_FAILURE() << "a failed write went unnoticed";
  } catch (const FileException& error) {
    EXPECT_EQ(error.osError(), platform::kErrorDiskFull);
    EXPECT_EQ(error.cause(), FileException::causeFromOsError(platform::kErrorDiskFull));
  }
  EXPECT_EQ(files.content("out").size(), 1000u);
}

}  // namespace
}  // namespace vorn::testing
