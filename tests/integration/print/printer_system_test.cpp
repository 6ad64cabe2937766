// The printer system against a real registry file in a temporary root.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/device_mode.h"
#include "platform/error.h"
#include "platform/printer_system.h"
#include "platform/registry.h"
#include "tests/integration/print/poppler.h"
#include "tests/support/test_support.h"

namespace vorn::platform {
namespace {

namespace fs = std::filesystem;

class PrinterSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cupsSetServer((root_.path() / "no-cupsd.sock").c_str());  // no spooler: only built-in printers exist
    output_ = root_.path() / "out";
    fs::create_directories(output_);
    std::ofstream(root_.path() / "plain-file") << "x";
    test::writeRegistry(root_.path(),
                        "Windows Registry Editor Version 5.00\r\n\r\n"
                        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office PDF]\r\n"
                        "\"Port\"=\"" + output_.string() + "\"\r\n"
                        "\"Resolution\"=dword:0000012c\r\n"
                        "\"PaperSize\"=\"Letter\"\r\n"
                        "\"Margins\"=dword:000000fa\r\n"
                        "\"Duplex\"=\"yes\"\r\n\r\n"
                        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Plain]\r\n"
                        "\"Port\"=\"" + output_.string() + "\"\r\n\r\n"
                        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Broken]\r\n"
                        "\"Port\"=\"" + (root_.path() / "plain-file" / "sub").string() + "\"\r\n");
    printers_ = createPrinterSystem(systemRegistry());
  }
  void TearDown() override { cupsSetServer(nullptr); }

  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(output_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempRoot root_;
  fs::path output_;
  std::unique_ptr<PrinterSystem> printers_;
};

TEST_F(PrinterSystemTest, UnknownPrinterIsAnInvalidPrinterName) {
  std::unique_ptr<PrinterHandle> printer;
  setLastError(0);
  EXPECT_EQ(printers_->openPrinter("No Such Printer", printer), kErrorInvalidPrinterName);
  EXPECT_FALSE(printer);
  setLastError(0);
  EXPECT_FALSE(printers_->createDC("No Such Printer", nullptr));
  EXPECT_EQ(lastError(), kErrorInvalidPrinterName);
}

TEST_F(PrinterSystemTest, NamesAreFoundWithoutRegardToCase) {
  std::unique_ptr<PrinterHandle> printer;
  EXPECT_EQ(printers_->openPrinter("office pdf", printer), kErrorSuccess);
  EXPECT_TRUE(printer);
}

TEST_F(PrinterSystemTest, DocumentPropertiesGiveTheConfiguredDefaults) {
  std::unique_ptr<PrinterHandle> printer;
  ASSERT_EQ(printers_->openPrinter("Office PDF", printer), kErrorSuccess);
  const int size = printer->documentProperties(nullptr, nullptr, 0);
  ASSERT_GE(size, static_cast<int>(DeviceMode::kPublicSize));
  DeviceMode mode(static_cast<std::size_t>(size));
  ASSERT_EQ(printer->documentProperties(&mode, nullptr, kDmOutBuffer), kIdOk);
  EXPECT_EQ(mode.fields(), kDmOrientation | kDmPaperSize | kDmDefaultSource | kDmPrintQuality | kDmYResolution |
                               kDmDuplex);
  EXPECT_EQ(mode.paperSize(), kDmPaperLetter);
  EXPECT_EQ(mode.printQuality(), 300);
  EXPECT_EQ(mode.duplex(), kDmDupSimplex);

  ASSERT_EQ(printers_->openPrinter("Plain", printer), kErrorSuccess);
  ASSERT_EQ(printer->documentProperties(&mode, nullptr, kDmOutBuffer), kIdOk);
  EXPECT_EQ(mode.fields() & kDmDuplex, 0u) << "no duplex support configured";
  EXPECT_EQ(mode.paperSize(), kDmPaperA4);
  EXPECT_EQ(mode.printQuality(), 600);
}

TEST_F(PrinterSystemTest, DocumentPropertiesMergeTheFlaggedFields) {
  std::unique_ptr<PrinterHandle> printer;
  ASSERT_EQ(printers_->openPrinter("Office PDF", printer), kErrorSuccess);
  DeviceMode mode(DeviceMode::kPublicSize);
  ASSERT_EQ(printer->documentProperties(&mode, nullptr, kDmOutBuffer), kIdOk);
  mode.setOrientation(kDmOrientLandscape);
  mode.setDefaultSource(258);
  mode.setDuplex(kDmDupVertical);
  mode.setFields(kDmOrientation | kDmDefaultSource | kDmDuplex);
  ASSERT_EQ(printer->documentProperties(&mode, &mode, kDmInBuffer | kDmOutBuffer), kIdOk);
  EXPECT_EQ(mode.orientation(), kDmOrientLandscape);
  EXPECT_EQ(mode.defaultSource(), 258);
  EXPECT_EQ(mode.duplex(), kDmDupVertical);
  EXPECT_EQ(mode.paperSize(), kDmPaperLetter);

  DeviceMode tooSmall(DeviceMode::kPublicSize);
  EXPECT_LT(printer->documentProperties(nullptr, nullptr, kDmOutBuffer), 0);
  EXPECT_LT(printer->documentProperties(&tooSmall, nullptr, kDmInBuffer | kDmOutBuffer), 0);
}

TEST_F(PrinterSystemTest, DeviceCapsFollowTheConfiguration) {
  auto dc = printers_->createDC("Office PDF", nullptr);
  ASSERT_TRUE(dc);
  EXPECT_EQ(dc->getDeviceCaps(kLogPixelsX), 300);
  EXPECT_EQ(dc->getDeviceCaps(kLogPixelsY), 300);
  EXPECT_EQ(dc->getDeviceCaps(kPhysicalWidth), 2550);   // 8.5 inch
  EXPECT_EQ(dc->getDeviceCaps(kPhysicalHeight), 3300);  // 11 inch
  EXPECT_EQ(dc->getDeviceCaps(kPhysicalOffsetX), 75);   // 0.25 inch
  EXPECT_EQ(dc->getDeviceCaps(kPhysicalOffsetY), 75);
  EXPECT_EQ(dc->getDeviceCaps(kHorzRes), 2400);
  EXPECT_EQ(dc->getDeviceCaps(kVertRes), 3150);
  EXPECT_NE(dc->getDeviceCaps(kRasterCaps) & kRcBitBlt, 0);

  DeviceMode landscape(DeviceMode::kPublicSize);
  landscape.setFields(kDmOrientation);
  landscape.setOrientation(kDmOrientLandscape);
  auto turned = printers_->createDC("Office PDF", &landscape);
  ASSERT_TRUE(turned);
  EXPECT_EQ(turned->getDeviceCaps(kPhysicalWidth), 3300);
  EXPECT_EQ(turned->getDeviceCaps(kVertRes), 2400);
}

// Draws one page of text and completes the document; returns the job number.
int printOnePage(DeviceContext& dc, std::string_view docName) {
  const int job = dc.startDoc({docName, std::nullopt});
  if (job <= 0) return job;
  EXPECT_GT(dc.startPage(), 0);
  EXPECT_TRUE(dc.textOut(100, 100, "Hello"));
  EXPECT_GT(dc.endPage(), 0);
  return job;
}

TEST_F(PrinterSystemTest, BuiltinPrinterWritesNumberedDocumentsOnlyWhenComplete) {
  auto dc = printers_->createDC("Office PDF", nullptr);
  ASSERT_TRUE(dc);
  const int first = printOnePage(*dc, "Vorn: PAY/ROLL");
  ASSERT_GT(first, 0);
  for (const auto& name : folderEntries()) {
    EXPECT_EQ(name.front(), '.') << "a reader could see the unfinished " << name;
  }
  ASSERT_GT(dc->endDoc(), 0);
  const std::string expected = std::to_string(first) + " Vorn_ PAY_ROLL.pdf";
  EXPECT_EQ(folderEntries(), std::vector<std::string>{expected});
  EXPECT_EQ(test::pdfPageSizes(output_ / expected).size(), 1u);

  const int second = printOnePage(*dc, "Vorn: NEXT");
  ASSERT_GT(dc->endDoc(), 0);
  EXPECT_EQ(second, first + 1);
  // Another device on the same printer continues the numbering.
  auto other = printers_->createDC("Office PDF", nullptr);
  EXPECT_EQ(printOnePage(*other, "Vorn: THIRD"), first + 2);
  ASSERT_GT(other->endDoc(), 0);
  EXPECT_EQ(folderEntries().size(), 3u);
}

TEST_F(PrinterSystemTest, AbandonedDocumentLeavesNoFile) {
  {
    auto dc = printers_->createDC("Office PDF", nullptr);
    ASSERT_GT(printOnePage(*dc, "Vorn: CUT OFF"), 0);
    ASSERT_GT(dc->startPage(), 0);
    ASSERT_TRUE(dc->textOut(0, 200, "half a page"));
  }  // deleted without EndDoc
  EXPECT_TRUE(folderEntries().empty());
}

TEST_F(PrinterSystemTest, UnwritableFolderFailsStartDoc) {
  auto dc = printers_->createDC("Broken", nullptr);
  ASSERT_TRUE(dc);
  setLastError(0);
  EXPECT_LE(dc->startDoc({"Vorn: X", std::nullopt}), 0);
  EXPECT_NE(lastError(), kErrorSuccess);
  EXPECT_LE(dc->startPage(), 0) << "no document is open";
}

TEST_F(PrinterSystemTest, PrintToFileWritesTheNamedFile) {
  auto dc = printers_->createDC("Plain", nullptr);
  const std::string target = (output_ / "sub").string();
  fs::create_directories(target);
  const std::string systemPath = target + "\\report.pdf";  // the system composes paths with backslashes
  ASSERT_GT(dc->startDoc({"Vorn: FILE", systemPath}), 0);
  ASSERT_GT(dc->startPage(), 0);
  ASSERT_GT(dc->endPage(), 0);
  ASSERT_GT(dc->endDoc(), 0);
  EXPECT_TRUE(fs::exists(fs::path(target) / "report.pdf"));

  setLastError(0);
  EXPECT_LE(dc->startDoc({"Vorn: FILE", (root_.path() / "plain-file" / "x.pdf").string()}), 0);
  EXPECT_NE(lastError(), kErrorSuccess);
}

// A process that has ended: its id names no running process.
pid_t endedProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

std::string contentOf(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// One page to a print file; false when any step failed.
bool printToFile(DeviceContext& dc, const fs::path& file) {
  return dc.startDoc({"Vorn: FILE", file.string()}) > 0 && dc.startPage() > 0 && dc.endPage() > 0 &&
         dc.endDoc() > 0;
}

TEST_F(PrinterSystemTest, PrintToFileAppearsOnlyWhenCompleteAndNeverThroughALink) {
  auto dc = printers_->createDC("Plain", nullptr);
  const fs::path target = output_ / "report.pdf";
  ASSERT_GT(dc->startDoc({"Vorn: FILE", target.string()}), 0);
  ASSERT_GT(dc->startPage(), 0);
  ASSERT_GT(dc->endPage(), 0);
  EXPECT_FALSE(fs::exists(target)) << "visible half-written";
  ASSERT_GT(dc->endDoc(), 0);
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"report.pdf"});

  // A link planted where the next file goes is refused; its target stays untouched.
  const fs::path victim = root_.path() / "victim";
  std::ofstream(victim) << "precious";
  fs::create_symlink(victim, output_ / "planted.pdf");
  setLastError(0);
  EXPECT_LE(dc->startDoc({"Vorn: FILE", (output_ / "planted.pdf").string()}), 0);
  EXPECT_EQ(lastError(), kErrorAccessDenied);
  EXPECT_EQ(contentOf(victim), "precious");
  EXPECT_EQ(folderEntries(), (std::vector<std::string>{"planted.pdf", "report.pdf"}));
}

TEST_F(PrinterSystemTest, KilledWritersLeftoversAreSweptAndNoFileIsReplaced) {
  const std::string killed = ".7 Vorn_ OLD.pdf." + std::to_string(endedProcess()) + ".part";
  const std::string running = ".8 Vorn_ BUSY.pdf." + std::to_string(::getppid()) + ".part";
  std::ofstream(output_ / killed) << "half";
  std::ofstream(output_ / running) << "in progress";
  // The job counter is lost while an earlier document with number 1 remains.
  std::ofstream(output_ / "1 Vorn_ NEXT.pdf") << "older report";

  std::unique_ptr<PrinterHandle> printer;
  ASSERT_EQ(printers_->openPrinter("Office PDF", printer), kErrorSuccess);
  EXPECT_FALSE(fs::exists(output_ / killed));
  EXPECT_TRUE(fs::exists(output_ / running));

  auto dc = printers_->createDC("Office PDF", nullptr);
  EXPECT_EQ(printOnePage(*dc, "Vorn: NEXT"), 2) << "number 1 names an existing file";
  ASSERT_GT(dc->endDoc(), 0);
  EXPECT_EQ(contentOf(output_ / "1 Vorn_ NEXT.pdf"), "older report");
  EXPECT_TRUE(fs::exists(output_ / "2 Vorn_ NEXT.pdf"));

  // A file that takes the document's name while it is written is not replaced.
  const int job = printOnePage(*dc, "Vorn: RACE");
  ASSERT_GT(job, 0);
  const fs::path raced = output_ / (std::to_string(job) + " Vorn_ RACE.pdf");
  std::ofstream(raced) << "someone else's";
  setLastError(0);
  EXPECT_LE(dc->endDoc(), 0);
  EXPECT_EQ(lastError(), kErrorFileExists);
  EXPECT_EQ(contentOf(raced), "someone else's");
  EXPECT_EQ(folderEntries(), (std::vector<std::string>{running, "1 Vorn_ NEXT.pdf", "2 Vorn_ NEXT.pdf",
                                                       raced.filename().string()}));
}

TEST_F(PrinterSystemTest, DocumentWithoutAPageProducesNoFile) {
  auto dc = printers_->createDC("Office PDF", nullptr);
  ASSERT_GT(dc->startDoc({"Vorn: EMPTY", std::nullopt}), 0);
  EXPECT_GT(dc->endDoc(), 0);
  ASSERT_GT(dc->startDoc({"Vorn: EMPTY", (output_ / "empty.pdf").string()}), 0);
  EXPECT_GT(dc->endDoc(), 0);
  EXPECT_TRUE(folderEntries().empty());
}

TEST_F(PrinterSystemTest, OutputFilesTakeTheirModeFromTheUmask) {
  const struct {
    mode_t umask;
    fs::perms mode;
  } cases[] = {{002, fs::perms(0664)}, {077, fs::perms(0600)}};
  for (const auto& c : cases) {
    const mode_t previous = ::umask(c.umask);
    auto dc = printers_->createDC("Office PDF", nullptr);
    const int job = printOnePage(*dc, "Vorn: MODE");
    const bool printed = dc->endDoc() > 0;
    const fs::path filed = output_ / ("mode-" + std::to_string(c.umask) + ".pdf");
    const bool wasFiled = printToFile(*dc, filed);
    ::umask(previous);
    ASSERT_TRUE(printed && wasFiled);
    EXPECT_EQ(fs::status(output_ / (std::to_string(job) + " Vorn_ MODE.pdf")).permissions(), c.mode);
    EXPECT_EQ(fs::status(filed).permissions(), c.mode);
  }
}

}  // namespace
}  // namespace vorn::platform
