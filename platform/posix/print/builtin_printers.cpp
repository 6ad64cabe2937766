#include "platform/posix/print/builtin_printers.h"

#include <array>
#include <cstring>
#include <vector>

#include "platform/error.h"
#include "platform/posix/host_path.h"
#include "platform/posix/print/file_output.h"
#include "platform/posix/print/paper.h"

namespace vorn::platform::posix {
namespace {

constexpr int kMinResolution = 72;
constexpr int kMaxResolution = 4800;
constexpr std::uint32_t kMaxTextValue = 4096;

std::optional<std::string> readText(RegistryKey& key, std::string_view name) {
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (key.queryValue(name, type, {}, size) != kErrorSuccess && size == 0) return std::nullopt;
  if ((type != kRegSz && type != kRegExpandSz) || size > kMaxTextValue) return std::nullopt;
  std::vector<std::uint8_t> buffer(size);
  if (key.queryValue(name, type, buffer, size) != kErrorSuccess) return std::nullopt;
  std::string text(buffer.begin(), buffer.begin() + std::min<std::size_t>(size, buffer.size()));
  if (const auto end = text.find('\0'); end != std::string::npos) text.resize(end);
  return text;
}

std::optional<std::uint32_t> readDword(RegistryKey& key, std::string_view name) {
  std::uint32_t type = 0;
  std::array<std::uint8_t, 4> buffer{};
  std::uint32_t size = buffer.size();
  if (key.queryValue(name, type, buffer, size) != kErrorSuccess || type != kRegDword || size != buffer.size()) {
    return std::nullopt;
  }
  std::uint32_t value;
  std::memcpy(&value, buffer.data(), sizeof value);
  return value;
}

}  // namespace

std::optional<PrinterDescription> findBuiltinPrinter(Registry& registry, std::string_view name) {
  if (name.empty() || name.find('\\') != std::string_view::npos) return std::nullopt;
  std::unique_ptr<RegistryKey> key;
  const std::string path = std::string(kBuiltinPrintersKey) + "\\" + std::string(name);
  if (registry.openKey(path, kKeyRead | kKeyWow64_64Key, key) != kErrorSuccess || !key) return std::nullopt;

  PrinterDescription printer;
  printer.kind = PrinterKind::builtinPdf;
  printer.name = std::string(name);
  if (auto port = readText(*key, "Port")) printer.outputFolder = hostPath(*port);
  if (auto dpi = readDword(*key, "Resolution"); dpi && *dpi >= kMinResolution && *dpi <= kMaxResolution) {
    printer.resolution = static_cast<int>(*dpi);
  }
  if (auto paper = readText(*key, "PaperSize")) {
    if (auto known = paperByName(*paper)) printer.paperSize = known->code;
  }
  if (auto margins = readDword(*key, "Margins"); margins && *margins <= 10000) {
    printer.marginThousandths = static_cast<int>(*margins);
  }
  if (auto duplex = readText(*key, "Duplex")) printer.duplexSupported = *duplex == "yes";
  return printer;
}

}  // namespace vorn::platform::posix
