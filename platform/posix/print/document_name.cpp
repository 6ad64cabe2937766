#include "platform/posix/print/document_name.h"

#include <string_view>

#include "platform/ansi_code_page.h"

namespace vorn::platform::posix {
namespace {

constexpr std::size_t kMaxComponentBytes = 200;
constexpr std::string_view kForbidden = "/\\:*?\"<>|";

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string fileNameComponent(std::string_view documentName) {
  std::string cleaned;
  cleaned.reserve(documentName.size());
  for (char c : documentName) {
    const auto byte = static_cast<unsigned char>(c);
    const bool control = byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F && unicodeFromAnsi(byte) < 0x100);
    cleaned.push_back(control || kForbidden.find(c) != std::string_view::npos ? '_' : c);
  }
  while (!cleaned.empty() && (cleaned.back() == ' ' || cleaned.back() == '.')) cleaned.pop_back();
  if (!cleaned.empty() && cleaned.front() == '.') cleaned.front() = '_';

  std::string utf8 = utf8FromAnsi(cleaned);
  if (utf8.size() > kMaxComponentBytes) {
    std::size_t cut = kMaxComponentBytes;
    while (cut > 0 && isContinuationByte(utf8[cut])) --cut;  // never split a character
    utf8.resize(cut);
    while (!utf8.empty() && (utf8.back() == ' ' || utf8.back() == '.')) utf8.pop_back();
  }
  return utf8.empty() ? std::string("document") : utf8;
}

std::string documentFileName(std::uint32_t jobNumber, std::string_view documentName) {
  return std::to_string(jobNumber) + " " + fileNameComponent(documentName) + ".pdf";
}

}  // namespace vorn::platform::posix
