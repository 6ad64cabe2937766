#include "platform/posix/print/cups_printers.h"

#include <cups/cups.h>

#include "platform/ansi_code_page.h"
#include "platform/posix/print/tray_keywords.h"

namespace vorn::platform::posix {
namespace {

class DestHolder {
 public:
  explicit DestHolder(cups_dest_t* dest) : dest_(dest) {}
  ~DestHolder() {
    if (dest_ != nullptr) cupsFreeDests(1, dest_);
  }
  DestHolder(const DestHolder&) = delete;
  DestHolder& operator=(const DestHolder&) = delete;
  cups_dest_t* get() const { return dest_; }

 private:
  cups_dest_t* dest_;
};

bool supportsTwoSided(cups_dest_t* dest) {
  cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
  if (info == nullptr) return false;
  const bool supported =
      cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_SIDES, CUPS_SIDES_TWO_SIDED_PORTRAIT) != 0;
  cupsFreeDestInfo(info);
  return supported;
}

}  // namespace

std::optional<PrinterDescription> findCupsPrinter(std::string_view name) {
  const std::string queue = utf8FromAnsi(name);
  if (queue.empty()) return std::nullopt;
  DestHolder dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr));
  if (dest.get() == nullptr) return std::nullopt;

  PrinterDescription printer;
  printer.kind = PrinterKind::cups;
  printer.name = std::string(name);
  const char* media = cupsGetOption("media", dest.get()->num_options, dest.get()->options);
  const std::string_view mediaName = media != nullptr ? media : "";
  const bool letter = mediaName.find("letter") != std::string_view::npos || mediaName == "Letter";
  printer.paperSize = letter ? kDmPaperLetter : kDmPaperA4;
  printer.duplexSupported = supportsTwoSided(dest.get());
  return printer;
}

CupsJobOptions cupsJobOptions(std::string_view documentName, const PageSettings& settings) {
  CupsJobOptions options;
  options.title = utf8FromAnsi(documentName);
  options.twoSided = settings.duplex == kDmDupVertical || settings.duplex == kDmDupHorizontal;
  auto source = mediaSourceKeyword(settings.defaultSource);
  if (source && *source != "auto") options.mediaSource = std::move(source);  // auto: the printer chooses
  return options;
}

}  // namespace vorn::platform::posix
