// Printing on a CUPS queue of a private cupsd that the test starts in its
// own temporary root; the queue's backend copies each job's PDF to a file.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/device_mode.h"
#include "platform/error.h"
#include "platform/printer_system.h"
#include "platform/registry.h"
#include "tests/integration/print/poppler.h"
#include "tests/support/test_support.h"

namespace vorn::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kCupsd = "/usr/sbin/cupsd";

constexpr const char* kPpd = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "VORNTEST.PPD"
*Manufacturer: "Kolvane"
*Product: "(Test)"
*ModelName: "Duplex PDF file printer"
*ShortNickName: "Duplex PDF"
*NickName: "Duplex PDF file printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*cupsFilter2: "application/pdf application/pdf 0 -"
*OpenUI *PageSize/Page Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: ""
*CloseUI: *PageSize
*DefaultPageRegion: A4
*PageRegion A4/A4: ""
*DefaultImageableArea: A4
*ImageableArea A4/A4: "0 0 595 842"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*OpenUI *InputSlot/Source: PickOne
*DefaultInputSlot: Upper
*InputSlot Upper/Upper: ""
*InputSlot Lower/Lower: ""
*CloseUI: *InputSlot
*OpenUI *Duplex/2-Sided Printing: PickOne
*DefaultDuplex: None
*Duplex None/Off: ""
*Duplex DuplexNoTumble/Long Edge: ""
*Duplex DuplexTumble/Short Edge: ""
*CloseUI: *Duplex
)ppd";

class PrivateCupsd {
 public:
  explicit PrivateCupsd(const fs::path& root) : root_(root / "cups") {
    for (const char* d : {"", "spool", "spool/tmp", "cache", "state", "log", "ppd", "out"}) {
      fs::create_directories(root_ / d);
    }
    fs::permissions(root_ / "out", fs::perms::all);
    socket_ = root_ / "cups.sock";
    std::ofstream(root_ / "cupsd.conf") << "LogLevel warn\nListen " << socket_.string()
                                       << "\nBrowsing No\nDefaultAuthType None\nWebInterface No\n"
                                          "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                          "<Policy default>\n  JobPrivateValues none\n  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                                          "</Policy>\n";
    std::ofstream(root_ / "cups-files.conf")
        << "ServerRoot " << root_.string() << "\nRequestRoot " << (root_ / "spool").string() << "\nTempDir "
        << (root_ / "spool/tmp").string() << "\nCacheDir " << (root_ / "cache").string() << "\nStateDir "
        << (root_ / "state").string() << "\nErrorLog " << (root_ / "log/error_log").string() << "\nAccessLog "
        << (root_ / "log/access_log").string() << "\nPageLog " << (root_ / "log/page_log").string()
        << "\nFileDevice Yes\nServerBin " << (root_ / "bin").string() << "\nDataDir /usr/share/cups\n";
    std::ofstream(root_ / "ppd" / "vorn.ppd") << kPpd;
    // The server's programs are the system's, plus a backend that copies each job's document to a file.
    fs::create_directories(root_ / "bin" / "backend");
    fs::create_symlink("/usr/lib/cups/daemon", root_ / "bin" / "daemon");
    fs::create_symlink("/usr/lib/cups/filter", root_ / "bin" / "filter");
    const fs::path backend = root_ / "bin" / "backend" / "vorncapture";
    std::ofstream(backend) << "#!/bin/sh\n"
                              "[ $# -eq 0 ] && { echo 'direct vorncapture \"Unknown\" \"Capture\"'; exit 0; }\n"
                              "cat \"${6:--}\" > \"${DEVICE_URI#vorncapture:}\"\n";
    fs::permissions(backend, fs::perms::owner_all);  // run as the server's user
  }

  // Starts cupsd and adds the queue; the reason when that is impossible here.
  std::string start() {
    if (!fs::exists(kCupsd)) return std::string(kCupsd) + " is not installed";
    try {
      daemon_ = std::make_unique<test::ChildProcess>(
          kCupsd, std::vector<std::string>{"-f", "-c", (root_ / "cupsd.conf").string(), "-s",
                                           (root_ / "cups-files.conf").string()});
    } catch (const std::exception& e) {
      return std::string("cupsd could not be started: ") + e.what();
    }
    for (int i = 0; i < 100 && !fs::exists(socket_); ++i) {
      if (!daemon_->running() || daemon_->wait(100ms)) {
        return "cupsd ended at start-up: " + daemon_->standardError() + errorLog();
      }
    }
    if (!fs::exists(socket_)) return "cupsd made no socket: " + errorLog();
    try {
      test::commandOutput("lpadmin -h " + test::shellQuoted(socket_) + " -p vornq -E -v " +
                          test::shellQuoted("vorncapture:" + output().string()) + " -P " +
                          test::shellQuoted(root_ / "ppd" / "vorn.ppd") + " 2>&1");
    } catch (const std::exception& e) {
      return std::string("the queue could not be added: ") + e.what() + errorLog();
    }
    return {};
  }

  std::string errorLog() const {
    std::ifstream in(root_ / "log/error_log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  const fs::path& socket() const { return socket_; }
  fs::path output() const { return root_ / "out" / "job.pdf"; }

 private:
  fs::path root_;
  fs::path socket_;
  std::unique_ptr<test::ChildProcess> daemon_;
};

std::string jobAttribute(int jobId, const char* name) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/printers/vornq");
  ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  std::string value;
  if (response != nullptr) {
    if (ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO)) {
      char text[1024];
      ippAttributeString(attr, text, sizeof text);
      value = text;
    }
    ippDelete(response);
  }
  return value;
}

class CupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cupsd_ = std::make_unique<PrivateCupsd>(root_.path());
    if (const std::string reason = cupsd_->start(); !reason.empty()) {
      GTEST_SKIP() << "SKIPPED LOUDLY: no private cupsd: " << reason;
    }
    cupsSetServer(cupsd_->socket().c_str());
    test::writeRegistry(root_.path(), "Windows Registry Editor Version 5.00\r\n");
  }
  void TearDown() override { cupsSetServer(nullptr); }

  test::TempRoot root_;
  std::unique_ptr<PrivateCupsd> cupsd_;
};

TEST_F(CupsTest, JobCarriesTitleSidesAndSourceAndThePdf) {
  auto printers = createPrinterSystem(systemRegistry());
  std::unique_ptr<PrinterHandle> printer;
  ASSERT_EQ(printers->openPrinter("vornq", printer), kErrorSuccess);
  DeviceMode mode(DeviceMode::kPublicSize);
  ASSERT_EQ(printer->documentProperties(&mode, nullptr, kDmOutBuffer), kIdOk);
  ASSERT_NE(mode.fields() & kDmDuplex, 0u) << "the queue's PPD offers duplex";
  mode.setDuplex(kDmDupVertical);
  mode.setDefaultSource(2);  // lower tray
  mode.setOrientation(kDmOrientLandscape);
  ASSERT_EQ(printer->documentProperties(&mode, &mode, kDmInBuffer | kDmOutBuffer), kIdOk);

  auto dc = printers->createDC("vornq", &mode);
  ASSERT_TRUE(dc);
  const int job = dc->startDoc({"Vorn: CUPS REPORT", std::nullopt});
  ASSERT_GT(job, 0) << cupsLastErrorString();
  for (int page = 0; page < 2; ++page) {
    ASSERT_GT(dc->startPage(), 0);
    ASSERT_TRUE(dc->textOut(100, 200, "page"));
    ASSERT_GT(dc->endPage(), 0);
  }
  ASSERT_GT(dc->endDoc(), 0) << cupsLastErrorString();

  EXPECT_EQ(jobAttribute(job, "job-name"), "Vorn: CUPS REPORT");
  EXPECT_EQ(jobAttribute(job, "sides"), "two-sided-long-edge");
  EXPECT_NE(jobAttribute(job, "media-col").find("media-source=bottom"), std::string::npos)
      << jobAttribute(job, "media-col");
  EXPECT_EQ(jobAttribute(job, "orientation-requested"), "") << "pages carry their own orientation";

  for (int i = 0; i < 100 && jobAttribute(job, "job-state") != "completed"; ++i) std::this_thread::sleep_for(100ms);
  ASSERT_EQ(jobAttribute(job, "job-state"), "completed") << cupsd_->errorLog();
  ASSERT_TRUE(fs::exists(cupsd_->output())) << cupsd_->errorLog();
  const auto sizes = test::pdfPageSizes(cupsd_->output());
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_GT(sizes[0].width, sizes[0].height) << "landscape pages";
}

// The engine selects duplex and tray with ResetDCA after StartDocA, before
// the first page: the job that prints must carry those settings.
TEST_F(CupsTest, SettingsResetBeforeTheFirstPageReachTheJob) {
  auto printers = createPrinterSystem(systemRegistry());
  std::unique_ptr<PrinterHandle> printer;
  ASSERT_EQ(printers->openPrinter("vornq", printer), kErrorSuccess);
  DeviceMode mode(DeviceMode::kPublicSize);
  ASSERT_EQ(printer->documentProperties(&mode, nullptr, kDmOutBuffer), kIdOk);

  auto dc = printers->createDC("vornq", &mode);
  ASSERT_TRUE(dc);
  const int firstJob = dc->startDoc({"Vorn: RESET REPORT", std::nullopt});
  ASSERT_GT(firstJob, 0) << cupsLastErrorString();
  mode.setDuplex(kDmDupVertical);
  mode.setDefaultSource(2);  // lower tray
  mode.setFields(kDmOrientation | kDmDefaultSource | kDmDuplex);
  ASSERT_EQ(printer->documentProperties(&mode, &mode, kDmInBuffer | kDmOutBuffer), kIdOk);
  ASSERT_TRUE(dc->resetDC(mode));
  for (int page = 0; page < 2; ++page) {
    ASSERT_GT(dc->startPage(), 0) << cupsLastErrorString();
    ASSERT_TRUE(dc->textOut(100, 200, "page"));
    ASSERT_GT(dc->endPage(), 0);
  }
  ASSERT_GT(dc->endDoc(), 0) << cupsLastErrorString();

  const int job = firstJob + 1;  // the private cupsd numbers jobs in sequence
  EXPECT_EQ(jobAttribute(job, "job-name"), "Vorn: RESET REPORT");
  EXPECT_EQ(jobAttribute(job, "sides"), "two-sided-long-edge");
  EXPECT_NE(jobAttribute(job, "media-col").find("media-source=bottom"), std::string::npos)
      << jobAttribute(job, "media-col");
  for (int i = 0; i < 100 && jobAttribute(job, "job-state") != "completed"; ++i) std::this_thread::sleep_for(100ms);
  ASSERT_EQ(jobAttribute(job, "job-state"), "completed") << cupsd_->errorLog();
  EXPECT_NE(jobAttribute(firstJob, "job-state"), "completed") << "the job made for the old settings prints nothing";
  ASSERT_TRUE(fs::exists(cupsd_->output())) << cupsd_->errorLog();
  EXPECT_EQ(test::pdfPageSizes(cupsd_->output()).size(), 2u);
}

TEST_F(CupsTest, ADocumentWithoutAPageCancelsItsJob) {
  auto printers = createPrinterSystem(systemRegistry());
  auto dc = printers->createDC("vornq", nullptr);
  ASSERT_TRUE(dc);
  const int job = dc->startDoc({"Vorn: EMPTY", std::nullopt});
  ASSERT_GT(job, 0) << cupsLastErrorString();
  EXPECT_GT(dc->endDoc(), 0) << "nothing to print is no failure";
  EXPECT_EQ(jobAttribute(job, "job-state"), "canceled");
  EXPECT_FALSE(fs::exists(cupsd_->output()));
}

TEST_F(CupsTest, AJobTheQueueRefusesFailsStartDoc) {
  auto printers = createPrinterSystem(systemRegistry());
  auto dc = printers->createDC("vornq", nullptr);
  ASSERT_TRUE(dc);
  test::commandOutput("cupsreject -h " + test::shellQuoted(cupsd_->socket()) + " vornq");
  setLastError(0);
  EXPECT_LE(dc->startDoc({"Vorn: REFUSED", std::nullopt}), 0);
  EXPECT_NE(lastError(), kErrorSuccess);
}

}  // namespace
}  // namespace vorn::platform
