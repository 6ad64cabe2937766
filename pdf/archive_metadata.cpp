#include "pdf/archive_metadata.h"

#include <cstdio>
#include <ctime>

namespace vorn::pdf {
namespace {

std::tm utcOf(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  return parts;
}

std::string xmlEscaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // XML 1.0 takes no C0 control besides tab, line feed and carriage return.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
          out += ' ';
        } else {
          out += c;
        }
    }
  }
  return out;
}

// Decodes UTF-8 leniently: a malformed byte stands for itself (Latin-1).
std::u32string codePoints(std::string_view utf8) {
  std::u32string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    char32_t value = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && i + static_cast<std::size_t>(length) <= utf8.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      value = (value << 6) | (next & 0x3F);
    }
    if (!valid) {
      out += lead;
      ++i;
    } else {
      out += value;
      i += static_cast<std::size_t>(length);
    }
  }
  return out;
}

}  // namespace

std::string pdfDate(std::chrono::system_clock::time_point time) {
  const std::tm t = utcOf(time);
  char text[96];
  std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02dZ", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                t.tm_min, t.tm_sec);
  return text;
}

std::string xmpDate(std::chrono::system_clock::time_point time) {
  const std::tm t = utcOf(time);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

std::string textString(std::string_view utf8) {
  std::string out = "<FEFF";
  char unit[5];
  const auto put = [&](unsigned value) {
    std::snprintf(unit, sizeof unit, "%04X", value & 0xFFFF);
    out += unit;
  };
  for (const char32_t c : codePoints(utf8)) {
    if (c > 0xFFFF) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  return out + ">";
}

std::string infoDictionary(const DocumentInfo& info) {
  const std::string date = "(" + pdfDate(info.created) + ")";
  return "<</Title" + textString(info.title) + "/Creator" + textString(info.creator) + "/Producer" +
         textString(info.producer) + "/CreationDate" + date + "/ModDate" + date + ">>";
}

std::string xmpPacket(const DocumentInfo& info) {
  const std::string date = xmpDate(info.created);
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
         "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
         "<rdf:Description rdf:about=\"\"\n"
         " xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
         " xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
         " xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\"\n"
         " xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n"
         "<dc:format>application/pdf</dc:format>\n"
         "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" + xmlEscaped(info.title) +
         "</rdf:li></rdf:Alt></dc:title>\n"
         "<xmp:CreatorTool>" + xmlEscaped(info.creator) + "</xmp:CreatorTool>\n"
         "<xmp:CreateDate>" + date + "</xmp:CreateDate>\n"
         "<xmp:ModifyDate>" + date + "</xmp:ModifyDate>\n"
         "<pdf:Producer>" + xmlEscaped(info.producer) + "</pdf:Producer>\n"
         "<pdfaid:part>2</pdfaid:part>\n"
         "<pdfaid:conformance>U</pdfaid:conformance>\n"
         "</rdf:Description>\n"
         "</rdf:RDF>\n"
         "</x:xmpmeta>\n"
         "<?xpacket end=\"r\"?>";
}

std::array<unsigned char, 16> fileIdentifier(const DocumentInfo& info, std::uint64_t size, std::size_t pages) {
  std::array<unsigned char, 16> id{};
  const auto ticks = static_cast<std::uint64_t>(info.created.time_since_epoch().count());
  for (std::size_t half = 0; half < 2; ++half) {
    std::uint64_t hash = half == 0 ? 1469598103934665603ull : 0x9E3779B97F4A7C15ull;
    const auto mix = [&hash](std::uint64_t v) { hash = (hash ^ v) * 1099511628211ull; };
    for (const char c : info.title) mix(static_cast<unsigned char>(c));
    mix(ticks);
    mix(size);
    mix(pages);
    for (std::size_t i = 0; i < 8; ++i) id[half * 8 + i] = static_cast<unsigned char>(hash >> (8 * i));
  }
  return id;
}

}  // namespace vorn::pdf
