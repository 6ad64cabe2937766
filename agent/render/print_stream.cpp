// The print stream's main loop: text, line and page controls, commands.
#include "agent/render/print_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "agent/render/commands.h"
#include "agent/render/fonts.h"
#include "agent/render/line_discipline.h"
#include "agent/render/page_setup.h"
#include "agent/render/stream_codes.h"
#include "agent/render/raw_data.h"
#include "agent/render/vorn_print.h"

namespace vorn {
namespace {

using namespace stream;

// Commands that draw or move, and so need a font and an open page first.
bool needsPreparation(std::uint8_t letter) { return letter == kEndPage || letter == kImageOrMacro || letter == kColumn; }

// Appends text, drawing the buffer whenever it is full; false when drawing failed.
bool appendText(RenderState& state, std::span<const std::uint8_t> text) {
  while (!text.empty()) {
    if (state.line.lineLength == kLineBufferSize && FlushLine(state, -1) != 0) return false;
    const std::size_t count = std::min(text.size(), kLineBufferSize - state.line.lineLength);
    std::memcpy(state.line.lineBuffer.data() + state.line.lineLength, text.data(), count);
    state.line.lineLength += count;
    text = text.subspan(count);
  }
  return true;
}

// Appends what fits; used where a failed flush has already been accepted.
void appendWhatFits(RenderState& state, std::string_view text) {
  const std::size_t count = std::min(text.size(), kLineBufferSize - state.line.lineLength);
  std::memcpy(state.line.lineBuffer.data() + state.line.lineLength, text.data(), count);
  state.line.lineLength += count;
}

int formFeed(RenderState& state) {
  if (FlushLine(state, -1) != 0) return -7;
  if ((state.document.options & OPT_EJECT_MARK) != 0) {
    FlushLine(state, 1);
    appendWhatFits(state, kEjectMark);  // the buffer is empty unless that flush failed
    FlushLine(state, 1);
  }
  if (state.document.pageOpen) {
    if (state.document.dc->endPage() < 1) return -6;
    state.document.pageOpen = false;
  }
  return 0;
}

}  // namespace

int VornPrintData(RenderState& state, std::span<const std::uint8_t> block) {
  if (!state.document.docOpen) return -1;

  const std::size_t end = block.size();
  std::size_t position = 0;
  while (position < end) {
    const std::uint8_t byte = block[position];
    if (byte == kNul) {
      ++position;
      continue;
    }
    if (byte == kStx) {
      // An STX as the block's last byte has no letter: it is dropped.
      if (position + 1 >= end) return 0;
      if (!needsPreparation(block[position + 1])) {
        ExecuteCommand(state, block, position);
        continue;
      }
    }

    if (state.format.fontDirty && SelectFont(state) != 0) return -3;
    if (!state.document.pageOpen && BeginPage(state) != 0) return -4;

    if (byte >= kFirstText) {
      // A run of text: preparing its later bytes would change nothing, so it is appended at once.
      std::size_t runEnd = position + 1;
      while (runEnd < end && block[runEnd] >= kFirstText) ++runEnd;
      if (!appendText(state, block.subspan(position, runEnd - position))) return -7;
      position = runEnd;
      continue;
    }

    switch (byte) {
      case kStx:
        if (ExecuteCommand(state, block, position) != 0) return -5;
        break;
      case kLf:
        ++position;
        if (FlushLine(state, 1) != 0) return -7;
        break;
      case kCr: {
        // Line feeds belong to the carriage return only within this block.
        std::size_t next = position + 1;
        while (next < end && block[next] == kLf) ++next;
        const std::size_t feeds = std::min<std::size_t>(next - position - 1, std::numeric_limits<std::int32_t>::max());
        position = next;
        if (FlushLine(state, static_cast<std::int32_t>(feeds)) != 0) return -7;
        break;
      }
      case kFf: {
        ++position;
        const int result = formFeed(state);
        if (result != 0) return result;
        break;
      }
      case kSo: {
        // A count byte beyond the block: nothing to add.
        if (position + 1 >= end) return 0;
        const std::size_t count = block[position + 1];
        position += 2;
        if (state.line.lineLength + count > kLineBufferSize && FlushLine(state, -1) != 0) return -7;
        std::fill_n(state.line.lineBuffer.data() + state.line.lineLength, count, ' ');
        state.line.lineLength += count;
        break;
      }
      case kDc4: {
        // A length byte or data beyond the block: the partial sequence is dropped,
        // since a cut printer command must not reach the printer.
        if (position + 1 >= end) return 0;
        const std::uint8_t lengthByte = block[position + 1];
        // A length byte below the bias announces a negative run: taken as an empty one.
        const std::size_t length = lengthByte < kDc4LengthBias ? 0 : lengthByte - kDc4LengthBias;
        const std::size_t dataStart = position + 2;
        if (length > end - dataStart) return 0;
        position = dataStart + length;
        SyncPosition(state);
        SendPassthrough(state, block.subspan(dataStart, length));
        break;
      }
      default:
        ++position;  // control bytes without effect (a tab gives no space)
        break;
    }
  }
  return 0;
}

}  // namespace vorn
