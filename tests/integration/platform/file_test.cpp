#include "platform/file.h"

#include "platform/error.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

namespace vorn::platform {
namespace {

std::span<const std::byte> asBytes(std::string_view s) { return std::as_bytes(std::span(s.data(), s.size())); }

std::string readAll(File& file) {
  std::string text;
  std::array<std::byte, 7> chunk{};  // small, so several reads are needed
  while (true) {
    std::size_t got = 0;
    EXPECT_EQ(file.read(chunk, got), kErrorSuccess);
    if (got == 0) return text;
    text.append(reinterpret_cast<const char*>(chunk.data()), got);
  }
}

class Files : public ::testing::Test {
 protected:
  std::string path(std::string_view name) const { return (root_.path() / name).string(); }
  // The same path written the Windows way, with backslashes.
  std::string windowsPath(std::string_view name) const {
    std::string p = path(name);
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
  }
  test::TempRoot root_;
  FileSystem& fs_ = systemFileSystem();
};

TEST_F(Files, CreateWriteReadBackThroughBackslashPaths) {
  std::filesystem::create_directories(root_.path() / "forms");
  std::unique_ptr<File> out;
  ASSERT_EQ(fs_.createExclusive(windowsPath("forms/logo.bmp"), out), kErrorSuccess);
  ASSERT_EQ(out->write(asBytes("hello, world")), kErrorSuccess);
  EXPECT_EQ(out->close(), kErrorSuccess);

  std::unique_ptr<File> in;
  ASSERT_EQ(fs_.openForReading(path("forms") + "\\logo.bmp", in), kErrorSuccess);
  std::uint64_t size = 0;
  ASSERT_EQ(in->size(size), kErrorSuccess);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(readAll(*in), "hello, world");

}

std::string contentOf(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(Files, CreationNeverFollowsALinkAndANewFileIsNew) {
  std::ofstream(path("victim")) << "precious";
  std::filesystem::create_symlink(path("victim"), path("out.dat"));
  std::filesystem::create_symlink(path("nowhere"), path("dangling.dat"));
  std::unique_ptr<File> file;
  EXPECT_EQ(fs_.createExclusive(path("out.dat"), file), kErrorAccessDenied);
  EXPECT_EQ(fs_.createNew(path("out.dat"), file), kErrorFileExists);
  EXPECT_EQ(fs_.createExclusive(path("dangling.dat"), file), kErrorAccessDenied);
  EXPECT_EQ(fs_.createNew(path("dangling.dat"), file), kErrorFileExists);
  EXPECT_FALSE(file);
  EXPECT_EQ(contentOf(path("victim")), "precious");
  EXPECT_FALSE(std::filesystem::exists(path("nowhere")));
  EXPECT_EQ(fs_.openToProbe(path("dangling.dat"), file), kErrorSuccess) << "a link is a name in use";

  ASSERT_EQ(fs_.createNew(path("new.dat"), file), kErrorSuccess);
  std::unique_ptr<File> again;
  EXPECT_EQ(fs_.createNew(path("new.dat"), again), kErrorFileExists);
}

TEST_F(Files, CreatedFilesTakeTheirModeFromTheUmask) {
  const struct {
    mode_t umask;
    mode_t mode;
  } cases[] = {{002, 0664}, {077, 0600}};
  for (const auto& c : cases) {
    const std::string replaced = path("replaced-" + std::to_string(c.umask));
    const std::string created = path("new-" + std::to_string(c.umask));
    const mode_t previous = ::umask(c.umask);
    std::unique_ptr<File> first, second;
    const bool made = fs_.createExclusive(replaced, first) == kErrorSuccess &&
                      fs_.createNew(created, second) == kErrorSuccess;
    ::umask(previous);
    ASSERT_TRUE(made);
    for (const std::string& file : {replaced, created}) {
      struct stat info {};
      ASSERT_EQ(::stat(file.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, c.mode) << file;
    }
  }
}

// Names are the system's 8-bit text: on disk they are UTF-8, as the printing
// side names its files, so both sides agree on a name such as "café".
TEST_F(Files, AnsiNamesAreUtf8OnDisk) {
  std::unique_ptr<File> out;
  ASSERT_EQ(fs_.createExclusive(path("caf\xE9.lis"), out), kErrorSuccess);
  EXPECT_EQ(out->close(), kErrorSuccess);
  EXPECT_TRUE(std::filesystem::exists(root_.path() / "caf\xC3\xA9.lis"));

  std::unique_ptr<File> probe;
  EXPECT_EQ(fs_.openToProbe(path("caf\xE9.lis"), probe), kErrorSuccess);
}

TEST_F(Files, OpenFailuresGiveWin32CodesAndSetTheLastError) {
  struct Case {
    const char* label;
    std::string path;
    std::uint32_t code;
  };
  std::ofstream(path("plain")) << "x";
  std::filesystem::create_directories(root_.path() / "folder");
  const std::vector<Case> cases = {
      {"missing file", path("nothing"), kErrorFileNotFound},
      {"missing folder", path("nofolder/file"), kErrorFileNotFound},
      {"file used as folder", path("plain/file"), kErrorPathNotFound},
      {"folder", path("folder"), kErrorAccessDenied},
  };
  for (const Case& c : cases) {
    std::unique_ptr<File> file;
    setLastError(0);
    EXPECT_EQ(fs_.openForReading(c.path, file), c.code) << c.label;
    EXPECT_EQ(lastError(), c.code) << c.label;
    EXPECT_FALSE(file) << c.label;
  }
}

TEST_F(Files, ProbeSeesExistenceOnly) {
  std::ofstream(path("taken.txt")) << "data";
  std::unique_ptr<File> probe;
  EXPECT_EQ(fs_.openToProbe(windowsPath("taken.txt"), probe), kErrorSuccess);
  ASSERT_TRUE(probe);
  std::array<std::byte, 4> buffer{};
  std::size_t got = 0;
  EXPECT_EQ(probe->read(buffer, got), kErrorAccessDenied);
  EXPECT_EQ(probe->write(asBytes("x")), kErrorAccessDenied);
  EXPECT_EQ(probe->close(), kErrorSuccess);
  EXPECT_EQ(fs_.openToProbe(path("free.txt"), probe), kErrorFileNotFound);
}

TEST_F(Files, ExclusiveCreationIsNotShared) {
  std::unique_ptr<File> first;
  ASSERT_EQ(fs_.createExclusive(path("job.out"), first), kErrorSuccess);
  ASSERT_EQ(first->write(asBytes("first")), kErrorSuccess);

  std::unique_ptr<File> second;
  EXPECT_EQ(fs_.createExclusive(path("job.out"), second), kErrorSharingViolation);
  EXPECT_EQ(lastError(), kErrorSharingViolation);
  EXPECT_FALSE(second);
  std::unique_ptr<File> reader;
  EXPECT_EQ(fs_.openForReading(path("job.out"), reader), kErrorSharingViolation);

  // The refused creator must not have truncated what the holder wrote.
  std::uint64_t size = 0;
  ASSERT_EQ(first->size(size), kErrorSuccess);
  EXPECT_EQ(size, 5u);

  first.reset();
  EXPECT_EQ(fs_.createExclusive(path("job.out"), second), kErrorSuccess);
  ASSERT_EQ(second->size(size), kErrorSuccess);
  EXPECT_EQ(size, 0u);  // truncated once it is ours
}

TEST_F(Files, ReadersShareButKeepWritersOut) {
  std::ofstream(path("logo.bmp")) << "BM";
  std::unique_ptr<File> a;
  std::unique_ptr<File> b;
  ASSERT_EQ(fs_.openForReading(path("logo.bmp"), a), kErrorSuccess);
  ASSERT_EQ(fs_.openForReading(path("logo.bmp"), b), kErrorSuccess);
  std::unique_ptr<File> writer;
  EXPECT_EQ(fs_.createExclusive(path("logo.bmp"), writer), kErrorSharingViolation);
  EXPECT_EQ(readAll(*a), "BM");
}

TEST_F(Files, ExclusiveCreationInAMissingFolderIsAMissingPath) {
  std::unique_ptr<File> file;
  setLastError(0);
  EXPECT_EQ(fs_.createExclusive(path("nofolder/job.out"), file), kErrorPathNotFound);
  EXPECT_EQ(lastError(), kErrorPathNotFound);
  EXPECT_FALSE(file);
}

TEST_F(Files, ClosedFileReportsAnInvalidHandle) {
  std::unique_ptr<File> file;
  ASSERT_EQ(fs_.createExclusive(path("x"), file), kErrorSuccess);
  EXPECT_EQ(file->close(), kErrorSuccess);
  EXPECT_EQ(file->close(), kErrorInvalidHandle);
  EXPECT_EQ(file->write(asBytes("x")), kErrorInvalidHandle);
}

}  // namespace
}  // namespace vorn::platform

namespace vorn::platform {
namespace {

TEST(FileSystem, FifoInPlaceOfAFileDoesNotHang) {
  test::TempRoot root;
  const auto fifo = root.path() / "logo.bmp";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  std::unique_ptr<File> file;
  ASSERT_EQ(systemFileSystem().openForReading(fifo.string(), file), kErrorSuccess);
  std::array<std::byte, 4> buffer{};
  std::size_t got = 1;
  EXPECT_EQ(file->read(buffer, got), kErrorSuccess);
  EXPECT_EQ(got, 0u);  // no writer: end of file at once
}

}  // namespace
}  // namespace vorn::platform
