// spoolcmd's reading of the service's replies, on arbitrary bytes received:
// never a read beyond them (the reply is a buffer of exactly that size), and
// output bounded by what was received.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "control/pipe_replies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> reply(data, data + size);
  const std::size_t bound = 200 + 2 * size;
  if (vorn::ShowReplyText(0, reply).size() > bound) std::abort();
  const auto outcome = vorn::ProfileReplyText("Run process", 0, reply);
  if (outcome.text.size() > bound) std::abort();
  if (outcome.succeeded && !outcome.text.empty()) std::abort();  // never "  ok" after an error line
  return 0;
}
