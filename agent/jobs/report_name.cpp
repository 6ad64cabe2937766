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

bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

char replacementFor(bool jetform) { return jetform ? '_' : '+'; }

}  // namespace

std::string_view trimTrailingBlanks(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

std::string sanitiseName(std::string_view name, bool jetform) {
  std::string result(name);
  for (char& c : result) {
    if (isFileNameReserved(c) || (jetform && c == ' ')) c = replacementFor(jetform);
  }
  return result;
}

std::string fileNameForm(std::string_view form, bool jetform) {
  std::string result(form);
  const bool onlyDots = !result.empty() && result.find_first_not_of('.') == std::string::npos;
  for (char& c : result) {
    if (isFileNameReserved(c) || isControl(c) || onlyDots) c = replacementFor(jetform);
  }
  return result;
}

}  // namespace vorn
