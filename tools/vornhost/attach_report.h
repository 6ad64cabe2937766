// How vornhost shows an agent's attach request: one line per field.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "termlink/frame_codec.h"

namespace vorn::vornhost {

// Bytes outside 0x20..0x7E, and the backslash, as \xNN.
std::string PrintableText(std::string_view bytes);

// "attach connect-string=...", "attach arg1=...", "attach arg2=...",
// "attach arg3=...", "attach printer-id=...", "attach device-flags=...",
// "attach forms=[...]".
std::vector<std::string> DescribeAttach(const termlink::AttachFrame& attach);

}  // namespace vorn::vornhost
