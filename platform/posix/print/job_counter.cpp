#include "platform/posix/print/job_counter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <limits>
#include <string>

#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/root.h"
#include "platform/posix/unique_fd.h"

namespace vorn::platform::posix {

namespace {

std::uint32_t following(std::uint32_t number) {
  return number >= static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) ? 1 : number + 1;
}

}  // namespace

std::uint32_t takeJobNumber(const std::filesystem::path& counterFile, std::uint32_t& number,
                            const std::function<bool(std::uint32_t)>& taken) {
  UniqueFd fd;
  if (const int error = openStateFile(AT_FDCWD, counterFile.c_str(), O_RDWR, fd)) {
    errno = error;
    return setLastErrorFromErrno();
  }
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return setLastErrorFromErrno();
  }

  std::array<char, 32> text{};
  const ssize_t got = ::pread(fd.get(), text.data(), text.size() - 1, 0);
  if (got < 0) return setLastErrorFromErrno();
  std::uint32_t last = 0;
  std::from_chars(text.data(), text.data() + got, last);  // an empty or damaged counter starts again at 1
  number = following(last);
  for (std::uint32_t passed = 0; taken(number); ++passed) {
    if (passed == kMaxNumbersPassedOver) {
      setLastError(kErrorFileExists);
      return kErrorFileExists;
    }
    number = following(number);
  }

  const std::string next = std::to_string(number) + "\n";
  if (::pwrite(fd.get(), next.data(), next.size(), 0) != static_cast<ssize_t>(next.size())) {
    return setLastErrorFromErrno();
  }
  if (::ftruncate(fd.get(), static_cast<off_t>(next.size())) != 0) return setLastErrorFromErrno();
  return kErrorSuccess;  // closing the descriptor releases the lock
}

}  // namespace vorn::platform::posix
