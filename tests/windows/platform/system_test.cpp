// Errors, the event log and files on Windows, against the system itself.
// Message texts differ between Windows and Wine: only codes are compared.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/event_log.h"
#include "platform/file.h"
#include "platform/thread.h"
#include "platform/wait.h"
#include "tests/support/test_support.h"

namespace vorn::platform {
namespace {

TEST(Win32Errors, LastErrorBelongsToEachThread) {
  setLastError(kErrorMoreData);
  std::uint32_t seenByOther = 99;
  std::unique_ptr<Thread> other;
  ASSERT_EQ(createThread(
                [&] {
                  seenByOther = lastError();
                  setLastError(kErrorAccessDenied);
                },
                other),
            0u);
  Waitable* objects[] = {other.get()};
  ASSERT_EQ(waitForMultipleObjects(objects, 10000, false), kWaitObject0);
  EXPECT_EQ(seenByOther, kErrorSuccess);
  EXPECT_EQ(lastError(), kErrorMoreData);
}

TEST(Win32Errors, SystemTextsEndLikeWindowsAndLeaveTheLastError) {
  setLastError(kErrorBrokenPipe);
  const std::string text = systemMessageText(kErrorFileNotFound);
  ASSERT_GT(text.size(), 2u);
  EXPECT_TRUE(text.ends_with("\r\n"));
  EXPECT_EQ(systemMessageText(static_cast<std::uint32_t>(hresultFromWin32(kErrorFileNotFound))), text);
  EXPECT_EQ(systemMessageText(0x2000FFFFu), "");
  EXPECT_EQ(lastError(), kErrorBrokenPipe);
}

TEST(Win32EventLog, ReportsAnEventWithNullStrings) {
  auto source = systemEventLog().registerSource("VORN");
  ASSERT_NE(source, nullptr);
  const std::array<std::optional<std::string_view>, 3> strings = {"SPOOLAGENT", "registry info missing",
                                                                  std::nullopt};
  EXPECT_TRUE(source->report(kEventLogErrorType, 0, 1, strings));
  EXPECT_TRUE(source->report(kEventLogInformationType, 0, 1, {}));
}

class Win32FileTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string path(const char* name) const { return (folder_ / name).string(); }

  std::filesystem::path folder_ = test::makeTemporaryFolder("vorn-files-");
  FileSystem& files_ = systemFileSystem();
};

TEST_F(Win32FileTest, ExclusiveFilesAreNotShared) {
  std::unique_ptr<File> writer;
  ASSERT_EQ(files_.createExclusive(path("out.txt"), writer), 0u);
  const std::array<std::byte, 5> data{std::byte{'h'}, std::byte{'e'}, std::byte{'l'}, std::byte{'l'}, std::byte{'o'}};
  ASSERT_EQ(writer->write(data), 0u);

  std::unique_ptr<File> other;
  EXPECT_EQ(files_.openForReading(path("out.txt"), other), kErrorSharingViolation);
  EXPECT_EQ(lastError(), kErrorSharingViolation);
  EXPECT_EQ(files_.createExclusive(path("out.txt"), other), kErrorSharingViolation);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(writer->close(), 0u);

  std::unique_ptr<File> first;
  std::unique_ptr<File> second;
  ASSERT_EQ(files_.openForReading(path("out.txt"), first), 0u);
  ASSERT_EQ(files_.openForReading(path("out.txt"), second), 0u);  // readers share
  EXPECT_EQ(files_.createExclusive(path("out.txt"), other), kErrorSharingViolation);
  std::uint64_t size = 0;
  ASSERT_EQ(second->size(size), 0u);
  EXPECT_EQ(size, data.size());
  std::array<std::byte, 16> buffer{};
  std::size_t got = 0;
  ASSERT_EQ(first->read(buffer, got), 0u);
  EXPECT_EQ(got, data.size());
  ASSERT_EQ(first->read(buffer, got), 0u);
  EXPECT_EQ(got, 0u);  // end of file
}

TEST_F(Win32FileTest, OpenFailuresGiveWindowsCodes) {
  std::unique_ptr<File> file;
  EXPECT_EQ(files_.openForReading(path("missing.txt"), file), kErrorFileNotFound);
  EXPECT_EQ(files_.openToProbe(path("missing.txt"), file), kErrorFileNotFound);
  EXPECT_EQ(files_.openForReading(path("no\\such\\folder.txt"), file), kErrorPathNotFound);
  EXPECT_EQ(files_.openForReading(folder_.string(), file), kErrorAccessDenied);
  EXPECT_EQ(file, nullptr);
}

}  // namespace
}  // namespace vorn::platform
