#include "platform/posix/print/file_output.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/print/document_name.h"
#include "platform/posix/print/partial_files.h"
#include "platform/posix/unique_fd.h"

namespace vorn::platform::posix {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// rename(2) that fails with EEXIST instead of replacing `to`; through a hard
// link where the file system has no RENAME_NOREPLACE.
int renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (::link(from.c_str(), to.c_str()) != 0) return -1;
  ::unlink(from.c_str());
  return 0;
}

// Collects cairo's many small writes into few system calls; completion
// renames the partial file to the final name.
class FileOutput final : public PdfOutput {
 public:
  FileOutput(UniqueFd fd, std::filesystem::path writePath, std::filesystem::path finalPath, bool replace, int jobId)
      : fd_(std::move(fd)),
        writePath_(std::move(writePath)),
        finalPath_(std::move(finalPath)),
        replace_(replace),
        jobId_(jobId) {
    buffer_.reserve(kBufferSize);
  }

  ~FileOutput() override {
    if (!finished_) {
      fd_.reset();
      ::unlink(writePath_.c_str());  // an abandoned document leaves nothing behind
    }
  }

  int jobId() const override { return jobId_; }

  bool write(std::span<const unsigned char> data) override {
    if (finished_ || !fd_) return fail(EBADF);
    if (buffer_.size() + data.size() > kBufferSize && !flush()) return false;
    if (data.size() >= kBufferSize) return writeAll(data);
    buffer_.insert(buffer_.end(), data.begin(), data.end());
    return true;
  }

  bool finish() override {
    if (finished_ || !fd_) return fail(EBADF);
    if (!flush()) return false;
    if (::fsync(fd_.get()) != 0 && errno != EINVAL) return fail(errno);
    if (::close(fd_.release()) != 0) return fail(errno);
    const int renamed = replace_ ? ::rename(writePath_.c_str(), finalPath_.c_str())
                                 : renameWithoutReplacing(writePath_, finalPath_);
    if (renamed != 0) return fail(errno);
    finished_ = true;
    return true;
  }

 private:
  bool fail(int errnoValue) {
    errno = errnoValue;
    // A name taken meanwhile is reported as CREATE_NEW reports it.
    if (errnoValue == EEXIST) {
      setLastError(kErrorFileExists);
    } else {
      setLastErrorFromErrno();
    }
    return false;
  }

  bool flush() {
    if (buffer_.empty()) return true;
    const bool ok = writeAll(buffer_);
    buffer_.clear();
    return ok;
  }

  bool writeAll(std::span<const unsigned char> data) {
    while (!data.empty()) {
      const ssize_t n = ::write(fd_.get(), data.data(), data.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        return fail(errno);
      }
      data = data.subspan(static_cast<std::size_t>(n));
    }
    return true;
  }

  UniqueFd fd_;
  std::filesystem::path writePath_;
  std::filesystem::path finalPath_;
  bool replace_;
  int jobId_;
  std::vector<unsigned char> buffer_;
  bool finished_ = false;
};

// Creates the partial file of `finalPath`; 0666, so that the umask decides.
std::unique_ptr<PdfOutput> openPartial(const std::filesystem::path& finalPath, bool replace, int jobId) {
  const std::filesystem::path partialPath =
      finalPath.parent_path() / partialFileName(finalPath.filename().string(), ::getpid());
  UniqueFd fd(::open(partialPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!fd) {
    setLastErrorFromErrno();
    return nullptr;
  }
  return std::make_unique<FileOutput>(std::move(fd), partialPath, finalPath, replace, jobId);
}

}  // namespace

std::unique_ptr<PdfOutput> openFileOutput(const std::filesystem::path& path, int jobId) {
  if (path.empty() || !path.has_filename()) {
    setLastError(kErrorInvalidName);
    return nullptr;
  }
  struct stat info {};
  bool exists = false;
  if (::lstat(path.c_str(), &info) == 0) {
    // A link planted where the file goes is never followed.
    if (!S_ISREG(info.st_mode)) {
      setLastError(kErrorAccessDenied);
      return nullptr;
    }
    exists = true;
  } else if (errno != ENOENT) {
    setLastErrorFromErrno();
    return nullptr;
  }
  return openPartial(path, exists, jobId);
}

std::unique_ptr<PdfOutput> openFolderOutput(const std::filesystem::path& folder, std::uint32_t jobNumber,
                                            std::string_view documentName) {
  if (folder.empty()) {
    setLastError(kErrorPathNotFound);
    return nullptr;
  }
  return openPartial(folder / documentFileName(jobNumber, documentName), false, static_cast<int>(jobNumber));
}

}  // namespace vorn::platform::posix
