// What makes a PDF an archival one (PDF/A-2, level U): the document
// information and the XMP metadata that repeats it, the sRGB output intent,
// and the file identifier.
#pragma once

#include <array>
#include <chrono>
#include <span>
#include <string>
#include <string_view>

namespace vorn::pdf {

struct DocumentInfo {
  std::string title;  // UTF-8
  std::string creator = "VornPrint";
  std::string producer = "VornPrint";
  std::chrono::system_clock::time_point created = std::chrono::system_clock::now();
};

// The Info dictionary: title, creator, producer, creation and modification date.
std::string infoDictionary(const DocumentInfo& info);
// The XMP packet stating the same and the PDF/A part (2) and level (U).
std::string xmpPacket(const DocumentInfo& info);
// "D:YYYYMMDDHHmmSSZ" and "YYYY-MM-DDTHH:mm:SSZ", UTC.
std::string pdfDate(std::chrono::system_clock::time_point time);
std::string xmpDate(std::chrono::system_clock::time_point time);
// A text string: UTF-16 (big-endian, with its byte order mark) as hex.
std::string textString(std::string_view utf8);
// The file identifier: a hash of what tells this document from others.
std::array<unsigned char, 16> fileIdentifier(const DocumentInfo& info, std::uint64_t size, std::size_t pages);

// The sRGB profile of the output intent: icc-profiles-free's sRGB.icc (ICC
// version 2.3), built into the program.
std::span<const unsigned char> srgbProfile();
inline constexpr std::string_view kOutputCondition = "sRGB IEC61966-2.1";

}  // namespace vorn::pdf
