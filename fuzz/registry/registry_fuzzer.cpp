// The .reg parser on arbitrary bytes: it must never crash, and whatever it
// accepts must survive a round trip through the writer in every format.
#include "platform/regfile/reg_parser.h"
#include "platform/regfile/reg_writer.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using vorn::platform::regfile::parseRegFile;
using vorn::platform::regfile::RegFileFormat;
using vorn::platform::regfile::writeRegFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parsed = parseRegFile(std::span(data, size), "fuzz.reg");
  if (!parsed.tree) {
    if (parsed.errorLine == 0 || parsed.error.empty()) std::abort();  // a fault must say where
    return 0;
  }
  for (const RegFileFormat format :
       {RegFileFormat::kVersion5Utf8, RegFileFormat::kVersion5Utf16, RegFileFormat::kRegedit4}) {
    const std::string text = writeRegFile(*parsed.tree, format);
    const auto again = parseRegFile(text, "written.reg");
    if (!again.tree || !again.tree->sameAs(*parsed.tree)) std::abort();
  }
  return 0;
}
