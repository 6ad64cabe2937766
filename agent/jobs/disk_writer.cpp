#include "agent/jobs/disk_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "agent/diag/exceptions.h"
#include "agent/render/stream_codes.h"
#include "platform/error.h"
#include "platform/file.h"

namespace vorn {
namespace {

using namespace stream;

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
    if (byte >= kFirstText || byte == kCr || byte == kLf) {
      staging.appendByte(byte);
      ++i;
    } else if (byte == kStx) {
      // An embedded command: dropped up to the next control byte.
      ++i;
      while (i < count && block[i] >= kFirstText) ++i;
    } else if (byte == kFf) {
      if (!jetform) {
        staging.appendByte(byte);
      } else if (last && i + 1 == count) {
        staging.append(kLineEnd);
      } else {
        staging.append(kEjectLine);
      }
      ++i;
    } else if (byte == kSo) {
      if (i + 1 >= count) break;
      staging.appendBlanks(block[i + 1]);
      i += 2;
    } else if (byte == kDc4) {
      if (i + 1 >= count) break;
      const std::uint8_t length = block[i + 1];
      i += 2;
      if (length < kDc4LengthBias) continue;
      const std::size_t wanted = length - kDc4LengthBias;
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
