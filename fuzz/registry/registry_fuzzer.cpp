// The .reg parser on arbitrary bytes: it must never crash, and whatever it
// accepts must survive a round trip through the writer in every format that
// can hold it (REGEDIT4 refuses key names the ANSI code page cannot hold).
#include "platform/posix/reg_parser.h"
#include "platform/posix/reg_writer.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <stdexcept>
#include <string>

using vorn::platform::posix::parseRegFile;
using vorn::platform::posix::RegFileFormat;
using vorn::platform::posix::writeRegFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parsed = parseRegFile(std::span(data, size), "fuzz.reg");
  if (!parsed.tree) {
    if (parsed.errorLine == 0 || parsed.error.empty()) std::abort();  // a fault must say where
    return 0;
  }
  for (const RegFileFormat format :
       {RegFileFormat::kVersion5Utf8, RegFileFormat::kVersion5Utf16, RegFileFormat::kRegedit4}) {
    std::string text;
    try {
      text = writeRegFile(*parsed.tree, format);
    } catch (const std::invalid_argument&) {
      if (format != RegFileFormat::kRegedit4) std::abort();
      continue;
    }
    const auto again = parseRegFile(text, "written.reg");
    if (!again.tree || !again.tree->sameAs(*parsed.tree)) std::abort();
  }
  return 0;
}
