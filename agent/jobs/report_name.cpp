#include "agent/jobs/report_name.h"

namespace vorn {
namespace {

bool isFileNameReserved(char c) {
  switch (c) {
    case '\0':
    case '\\':
    case '/':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string_view trimTrailingBlanks(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

std::string sanitiseName(std::string_view name, bool jetform) {
  std::string result(name);
  for (char& c : result) {
    if (jetform) {
      if (c == ' ' || isFileNameReserved(c)) c = '_';
    } else if (isFileNameReserved(c)) {
      c = '+';
    }
  }
  return result;
}

}  // namespace vorn
