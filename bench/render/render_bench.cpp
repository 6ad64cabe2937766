// Interprets a 1,000-page report over a device that draws nothing: the
// engine's own cost per byte of print stream.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "agent/render/vorn_print.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/fakes/null_device.h"

namespace {

constexpr int kPages = 1000;
constexpr int kLinesPerPage = 60;
constexpr int kLineWidth = 132;
constexpr std::size_t kBlockSize = 8192;  // about one host print message

// 60 lines of 132 characters a page: every tenth line in bold, an amount
// column placed with a column move, and a form feed per page.
std::string makeReport() {
  std::string report;
  report.reserve(static_cast<std::size_t>(kPages) * kLinesPerPage * (kLineWidth + 16));
  std::string text(kLineWidth - 12, ' ');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('A' + (i * 7) % 26);
  for (int page = 0; page < kPages; ++page) {
    report += std::string("\x02" "A120") + '\0';
    for (int line = 0; line < kLinesPerPage; ++line) {
      const bool bold = line % 10 == 0;
      if (bold) report += std::string("\x02" "C3") + '\0';
      report += text;
      report += std::string("\x02" "J120") + '\0';
      report += "  1234567.89";
      if (bold) report += std::string("\x02" "C0") + '\0';
      report += "\r\n";
    }
    report += '\f';
  }
  return report;
}

void BM_InterpretReport(benchmark::State& benchState) {
  const std::string report = makeReport();
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(report.data()), report.size());
  vorn::fakes::FakePrinterSystem printers;
  vorn::fakes::FakeFileSystem files;
  vorn::fakes::NullDevice device;
  vorn::Renderer renderer(printers, files);

  for (auto _ : benchState) {
    if (renderer.VornPrintStart("Vorn: BENCH", device, 0) != 0) {
      benchState.SkipWithError("document did not start");
      break;
    }
    for (std::size_t offset = 0; offset < bytes.size(); offset += kBlockSize) {
      const auto block = bytes.subspan(offset, std::min(kBlockSize, bytes.size() - offset));
      if (renderer.VornPrintData(block) != 0) {
        benchState.SkipWithError("interpretation failed");
        break;
      }
    }
    renderer.VornPrintEnd();
    benchmark::DoNotOptimize(renderer.pagesStarted());
  }
  benchState.SetBytesProcessed(static_cast<std::int64_t>(benchState.iterations()) *
                               static_cast<std::int64_t>(bytes.size()));
  benchState.counters["pages"] = static_cast<double>(renderer.pagesStarted());
}
BENCHMARK(BM_InterpretReport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
