#include "tools/vornhost/attach_report.h"

#include <cstdio>

namespace vorn::vornhost {

std::string PrintableText(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E && byte != '\\') {
      text.push_back(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      text += escaped;
    }
  }
  return text;
}

std::vector<std::string> DescribeAttach(const termlink::AttachFrame& attach) {
  return {
      "attach connect-string=" + PrintableText(attach.connectString),
      "attach arg1=" + std::to_string(attach.arg1),
      "attach arg2=" + std::to_string(attach.arg2),
      "attach arg3=" + std::to_string(attach.arg3),
      "attach printer-id=" + PrintableText(attach.printerId),
      "attach device-flags=" + std::to_string(attach.deviceFlags),
      "attach forms=[" + PrintableText(attach.forms) + "]",
  };
}

}  // namespace vorn::vornhost
