#include "tools/vornrender/render_options.h"

#include <charconv>
#include <string_view>

#include "agent/render/vorn_print.h"

namespace vorn::tools {
namespace {

constexpr const char* kUsage =
    "usage: vornrender [options] STREAM\n"
    "\n"
    "Renders the print stream file STREAM through the rendering engine, either\n"
    "straight to a PDF file or on a printer of the printer system.\n"
    "\n"
    "Destination (one of):\n"
    "  -o, --output FILE     write the PDF to FILE, with a PDF printer device\n"
    "                        set up by the three options below\n"
    "  --printer NAME        print on NAME: a built-in PDF printer configured in\n"
    "                        the registry under $VORNPRINT_ROOT, else a CUPS queue\n"
    "\n"
    "PDF device (with -o):\n"
    "  --resolution DPI      device resolution, 72 to 4800 (default 600)\n"
    "  --paper A4|Letter     paper size (default A4)\n"
    "  --margins N           unprintable border on every side in 1/1000 inch\n"
    "                        (default 0)\n"
    "\n"
    "Renderer options (the profile's option bits):\n"
    "  --courier             typefaces 0 and 1 print in Courier, not Courier New\n"
    "  --top-line            first baselines of a page at 30 and 31 dots\n"
    "  --fixed-layout        ignore the margin and pitch commands\n"
    "  --no-overflow         no automatic page break at the bottom of a page\n"
    "  --eject-mark          print a line \"^EJECT\" at every form feed\n"
    "\n"
    "Job context:\n"
    "  --load-dir DIR        folder of the images (.bmp) and macros (.mac) the\n"
    "                        stream names\n"
    "  --main-tray N         paper source code of the main tray (default 0)\n"
    "  --alt-tray N          paper source code of the alternate tray (default 0)\n"
    "  --doc-name NAME       document name (default \"Vorn: \" and the stream\n"
    "                        file's name)\n"
    "  -h, --help            show this text\n"
    "  --version             show the program's version\n"
    "\n"
    "On success prints the number of pages and the time taken and exits with 0;\n"
    "on failure prints the reason and exits with 1 (2 for a usage error).\n";

template <typename T>
bool parseNumber(std::string_view text, T& value, T low, T high) {
  T parsed{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (ec != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

}  // namespace

const char* renderUsage() { return kUsage; }

std::optional<RenderOptions> parseRenderOptions(const std::vector<std::string>& args, std::string& error) {
  RenderOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = "option " + arg + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    auto number = [&]<typename T>(T& out, T low, T high) {
      std::string text;
      if (!value(text)) return false;
      if (!parseNumber(text, out, low, high)) {
        error = "option " + arg + ": \"" + text + "\" is not a number from " + std::to_string(low) + " to " +
                std::to_string(high);
        return false;
      }
      return true;
    };
    std::string text;
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      return options;
    } else if (arg == "--version") {
      options.version = true;
      return options;
    } else if (arg == "-o" || arg == "--output") {
      if (!value(text)) return std::nullopt;
      options.outputFile = text;
    } else if (arg == "--printer") {
      if (!value(text)) return std::nullopt;
      options.printerName = text;
    } else if (arg == "--resolution") {
      if (!number(options.pdf.resolution, 72, 4800)) return std::nullopt;
    } else if (arg == "--paper") {
      if (!value(text)) return std::nullopt;
      if (text != "A4" && text != "Letter") {
        error = "option --paper: \"" + text + "\" is neither A4 nor Letter";
        return std::nullopt;
      }
      options.pdf.paper = text;
    } else if (arg == "--margins") {
      if (!number(options.pdf.marginThousandths, 0, 10000)) return std::nullopt;
    } else if (arg == "--courier") {
      options.optionBits |= OPT_COURIER;
    } else if (arg == "--top-line") {
      options.optionBits |= OPT_TOP_LINE;
    } else if (arg == "--fixed-layout") {
      options.optionBits |= OPT_FIXED_LAYOUT;
    } else if (arg == "--no-overflow") {
      options.optionBits |= OPT_NO_OVERFLOW;
    } else if (arg == "--eject-mark") {
      options.optionBits |= OPT_EJECT_MARK;
    } else if (arg == "--load-dir") {
      if (!value(options.loadDirectory)) return std::nullopt;
    } else if (arg == "--main-tray") {
      if (!number(options.mainTray, std::uint16_t{0}, std::uint16_t{65535})) return std::nullopt;
    } else if (arg == "--alt-tray") {
      if (!number(options.altTray, std::uint16_t{0}, std::uint16_t{65535})) return std::nullopt;
    } else if (arg == "--doc-name") {
      if (!value(text)) return std::nullopt;
      options.docName = text;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      error = "unknown option " + arg;
      return std::nullopt;
    } else if (!options.streamFile.empty()) {
      error = "only one stream file can be given";
      return std::nullopt;
    } else {
      options.streamFile = arg;
    }
  }
  if (options.streamFile.empty()) {
    error = "no stream file given";
    return std::nullopt;
  }
  if (options.outputFile.has_value() == options.printerName.has_value()) {
    error = "give either -o FILE or --printer NAME";
    return std::nullopt;
  }
  return options;
}

}  // namespace vorn::tools
