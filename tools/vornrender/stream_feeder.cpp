#include "tools/vornrender/stream_feeder.h"

#include <vector>

#include "agent/render/stream_blocks.h"

namespace vorn::tools {

int feedStream(std::istream& in, const std::function<int(std::span<const std::uint8_t>)>& render,
               bool& readFailed) {
  std::vector<std::uint8_t> pending;
  for (;;) {
    // Topped up to one read's worth: what is kept is always less than that.
    const std::size_t kept = pending.size();
    pending.resize(kStreamReadSize);
    in.read(reinterpret_cast<char*>(pending.data() + kept), static_cast<std::streamsize>(kStreamReadSize - kept));
    pending.resize(kept + static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
      readFailed = true;
      return 1;
    }
    const bool atEnd = in.eof();
    std::size_t ready = atEnd ? pending.size() : CompleteSequencesLength(pending);
    // A sequence longer than a message could carry is cut where a message would end.
    if (pending.size() - ready > kLongestBlockSequence) ready += kLongestBlockSequence;
    if (ready > 0 || atEnd) {
      if (const int code = render(std::span(pending).first(ready)); code != 0) return code;
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(ready));
    }
    if (atEnd) return 0;
  }
}

}  // namespace vorn::tools
