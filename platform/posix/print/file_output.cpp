#include "platform/posix/print/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/print/document_name.h"
#include "platform/posix/unique_fd.h"

namespace vorn::platform::posix {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// Collects cairo's many small writes into few system calls. When `finalPath`
// differs from `writePath`, completion renames the one to the other.
class FileOutput final : public PdfOutput {
 public:
  FileOutput(UniqueFd fd, std::filesystem::path writePath, std::filesystem::path finalPath, int jobId)
      : fd_(std::move(fd)), writePath_(std::move(writePath)), finalPath_(std::move(finalPath)), jobId_(jobId) {
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
    if (writePath_ != finalPath_ && ::rename(writePath_.c_str(), finalPath_.c_str()) != 0) return fail(errno);
    finished_ = true;
    return true;
  }

 private:
  bool fail(int errnoValue) {
    errno = errnoValue;
    setLastErrorFromErrno();
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
  int jobId_;
  std::vector<unsigned char> buffer_;
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<PdfOutput> openFileOutput(const std::filesystem::path& path, int jobId) {
  if (path.empty()) {
    setLastError(kErrorInvalidName);
    return nullptr;
  }
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd) {
    setLastErrorFromErrno();
    return nullptr;
  }
  return std::make_unique<FileOutput>(std::move(fd), path, path, jobId);
}

std::unique_ptr<PdfOutput> openFolderOutput(const std::filesystem::path& folder, std::uint32_t jobNumber,
                                            std::string_view documentName) {
  if (folder.empty()) {
    setLastError(kErrorPathNotFound);
    return nullptr;
  }
  const std::string finalName = documentFileName(jobNumber, documentName);
  const std::filesystem::path finalPath = folder / finalName;
  const std::filesystem::path partialPath = folder / partialFileName(finalName);
  UniqueFd fd(::open(partialPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd) {
    setLastErrorFromErrno();
    return nullptr;
  }
  return std::make_unique<FileOutput>(std::move(fd), partialPath, finalPath, static_cast<int>(jobNumber));
}

}  // namespace vorn::platform::posix
