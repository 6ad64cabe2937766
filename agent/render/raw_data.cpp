#include "agent/render/raw_data.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "agent/render/load_files.h"
#include "agent/render/stream_codes.h"
#include "platform/device_context.h"

namespace vorn {
namespace {

constexpr std::size_t kCountSize = 2;
// Inline runs (at most 223 bytes) go through a buffer on the stack.
constexpr std::size_t kInlineRunMax = 255 - stream::kDc4LengthBias;

void putCount(std::span<std::byte> buffer, std::size_t count) {
  buffer[0] = static_cast<std::byte>(count & 0xFF);
  buffer[1] = static_cast<std::byte>((count >> 8) & 0xFF);
}

bool supportsPassthrough(platform::DeviceContext& dc) {
  std::array<std::byte, 4> escapeNumber{};
  const std::uint32_t number = platform::kPassthrough;
  std::memcpy(escapeNumber.data(), &number, sizeof number);
  return dc.escape(platform::kQueryEscSupport, escapeNumber) > 0;
}

}  // namespace

int SendMacroFile(RenderState& state, std::string_view name) {
  const auto path = ComposeLoadPath(state.context.loadDirectory, name, "mac");
  if (!path) return 0;  // a name that cannot be in the load directory is no file there
  std::unique_ptr<platform::File> file;
  if (state.files.openForReading(path->view(), file) != 0 || !file) return 0;
  std::uint64_t size = 0;
  if (file->size(size) != 0) return 0;
  // The 16-bit count cannot announce a larger macro, so it is not sent at all.
  if (size > kMaxRawDataSize) return -1;

  std::vector<std::byte> buffer(kCountSize + static_cast<std::size_t>(size));
  putCount(buffer, static_cast<std::size_t>(size));
  if (!ReadExact(*file, std::span(buffer).subspan(kCountSize))) return -1;
  if (!supportsPassthrough(*state.document.dc)) return -1;
  state.document.dc->escape(platform::kPassthrough, buffer);
  return 0;
}

int SendPassthrough(RenderState& state, std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMaxRawDataSize) return -1;
  std::array<std::byte, kCountSize + kInlineRunMax> inlineBuffer;
  std::vector<std::byte> largeBuffer;
  std::span<std::byte> buffer;
  if (bytes.size() <= kInlineRunMax) {
    buffer = std::span(inlineBuffer).first(kCountSize + bytes.size());
  } else {
    largeBuffer.resize(kCountSize + bytes.size());
    buffer = largeBuffer;
  }
  putCount(buffer, bytes.size());
  if (!bytes.empty()) std::memcpy(buffer.data() + kCountSize, bytes.data(), bytes.size());
  if (!supportsPassthrough(*state.document.dc)) return -1;
  return state.document.dc->escape(platform::kPassthrough, buffer) > 0 ? 0 : -1;
}

}  // namespace vorn
