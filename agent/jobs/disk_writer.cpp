#include "agent/jobs/disk_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "agent/diag/exceptions.h"
#include "platform/error.h"
#include "platform/file.h"

namespace vorn {
namespace {

constexpr std::uint8_t kRecordMark = 0x02;
constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::uint8_t kFormFeed = 0x0C;
constexpr std::uint8_t kCarriageReturn = 0x0D;
constexpr std::uint8_t kSkipBlanks = 0x0E;
constexpr std::uint8_t kRawData = 0x14;
constexpr std::uint8_t kFirstCharacter = 0x20;
constexpr std::uint8_t kRawLengthBias = 0x20;

constexpr std::string_view kEjectMark = "\r\n^EJECT\r\n";
constexpr std::string_view kLineEnd = "\r\n";

// Collects output and hands it to the file in pieces of at most kDiskStagingSize bytes.
class StagingBuffer {
 public:
  explicit StagingBuffer(platform::File& file) : file_(file) {}

  void append(std::span<const std::uint8_t> item) {
    makeRoom(item.size());
    std::copy(item.begin(), item.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
    used_ += item.size();
  }
  void append(std::string_view item) {
    append(std::span(reinterpret_cast<const std::uint8_t*>(item.data()), item.size()));
  }
  void appendByte(std::uint8_t byte) { append(std::span(&byte, 1)); }
  void appendBlanks(std::size_t count) {
    makeRoom(count);
    std::fill_n(buffer_.begin() + static_cast<std::ptrdiff_t>(used_), count, ' ');
    used_ += count;
  }

  void flush() {
    if (used_ == 0) return;
    const auto bytes = std::as_bytes(std::span(buffer_.data(), used_));
    used_ = 0;
    if (const std::uint32_t error = file_.write(bytes); error != platform::kErrorSuccess) {
      throw FileException(FileException::causeFromOsError(error), error);
    }
  }

 private:
  // Every item is at most 255 bytes, so it always fits an empty buffer.
  void makeRoom(std::size_t size) {
    if (used_ + size > buffer_.size()) flush();
  }

  platform::File& file_;
  std::array<std::uint8_t, kDiskStagingSize> buffer_{};
  std::size_t used_ = 0;
};

}  // namespace

int writedisk(platform::File& file, std::span<const std::uint8_t> block, bool last, bool jetform) {
  StagingBuffer staging(file);
  const std::size_t count = block.size();
  std::size_t i = 0;
  while (i < count) {
    const std::uint8_t byte = block[i];
    if (byte >= kFirstCharacter || byte == kCarriageReturn || byte == kLineFeed) {
      staging.appendByte(byte);
      ++i;
    } else if (byte == kRecordMark) {
      // An embedded command: dropped up to the next control byte.
      ++i;
      while (i < count && block[i] >= kFirstCharacter) ++i;
    } else if (byte == kFormFeed) {
      if (!jetform) {
        staging.appendByte(byte);
      } else if (last && i + 1 == count) {
        staging.append(kLineEnd);
      } else {
        staging.append(kEjectMark);
      }
      ++i;
    } else if (byte == kSkipBlanks) {
      if (i + 1 >= count) break;
      staging.appendBlanks(block[i + 1]);
      i += 2;
    } else if (byte == kRawData) {
      if (i + 1 >= count) break;
      const std::uint8_t length = block[i + 1];
      i += 2;
      if (length < kRawLengthBias) continue;
      const std::size_t wanted = length - kRawLengthBias;
      const std::size_t present = std::min(wanted, count - i);
      staging.append(block.subspan(i, present));
      i += present;
      if (present < wanted) break;
    } else {
      ++i;  // other control bytes have no text form
    }
  }
  staging.flush();
  return 0;
}

}  // namespace vorn
