// The sample host session printed with the sample registry, as the demo does:
// the outputs are compared with reviewed files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "tests/e2e/agent/agent_scenario.h"

namespace vorn::e2e {
namespace {

using namespace std::chrono_literals;

const std::filesystem::path kSamples = VORN_SAMPLES_DIR;
const std::filesystem::path kGolden = std::filesystem::path(VORN_E2E_GOLDEN_DIR) / "session";

const std::vector<std::string> kReports = {"01-invoice-2026-1142", "02-general-ledger", "03-payroll-summary",
                                           "04-customer-letter"};

// The sample profiles name their folders relative to the agent's working
// folder; like the demo, the test runs the agents in the platform root.
class SampleSession : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(kSamples / "registry.reg", scenario_.root() / "registry.reg");
    for (const char* folder : {"forms", "printers/VornPDF", "output/print-to-file", "output/direct-to-disk"})
      std::filesystem::create_directories(scenario_.root() / folder);
    std::filesystem::copy_file(kSamples / "images" / "logo.bmp", scenario_.root() / "forms" / "logo.bmp");
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(scenario_.root());
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  // Sends the whole session to the agent of `profile` listening on `port`.
  void printSession(const std::string& profile, int port) {
    std::vector<std::string> args = {"--pipe", std::to_string(port), "--form", "STD"};
    for (const auto& report : kReports) args.push_back((kSamples / "session" / (report + ".vps")).string());
    args.insert(args.end(), {"--terminate", "2"});
    auto& host = scenario_.startHost(args);
    EXPECT_EQ(scenario_.runAgent(profile).exitCode, 0);
    ASSERT_TRUE(host.wait(20s));
    EXPECT_EQ(host.exitCode(), 0) << host.standardOutput();
    EXPECT_NE(host.standardOutput().find("reports=4 messages=7"), std::string::npos) << host.standardOutput();
  }

  AgentScenario scenario_;
  std::filesystem::path previous_;
};

TEST_F(SampleSession, DirectToDiskFilesMatchTheReviewedText) {
  printSession("DISK1", 5003);
  const auto files = scenario_.filesIn("output/direct-to-disk");
  ASSERT_EQ(files.size(), kReports.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    // "<report>-<counter>.lis": the counter comes from the clock.
    EXPECT_TRUE(std::regex_match(files[i].filename().string(), std::regex(kReports[i] + R"(-\d{5}\.lis)")))
        << files[i];
    EXPECT_EQ(readFile(files[i]), readFile(kGolden / (kReports[i] + ".lis"))) << kReports[i];
  }
}

TEST_F(SampleSession, PdfPrinterLaysOutTheReportsAsReviewed) {
  printSession("LASER1", 5001);
  const auto pdfs = scenario_.filesIn("printers/VornPDF");
  ASSERT_EQ(pdfs.size(), kReports.size());
  for (std::size_t i = 0; i < pdfs.size(); ++i) {
    EXPECT_EQ(pdfs[i].filename().string(), std::to_string(i + 1) + " Vorn_ " + kReports[i] + ".pdf");
    const std::string layout = commandOutput("pdftotext -layout '" + pdfs[i].string() + "' -");
    EXPECT_EQ(layout, readFile(kGolden / (kReports[i] + ".txt"))) << kReports[i];
  }
  // The payroll's table page is landscape, between two portrait pages.
  const std::string sizes = commandOutput("pdfinfo -f 1 -l 3 '" + pdfs[2].string() + "'");
  EXPECT_NE(sizes.find("Page    1 size:  595.276 x 841.89 pts (A4)"), std::string::npos) << sizes;
  EXPECT_NE(sizes.find("Page    2 size:  841.89 x 595.276 pts (A4)"), std::string::npos) << sizes;
  EXPECT_NE(sizes.find("Page    3 size:  595.276 x 841.89 pts (A4)"), std::string::npos) << sizes;
}

TEST_F(SampleSession, PrintToFileWritesTheSameDocumentsUnderTheirFileNames) {
  printSession("FILE1", 5002);
  const auto files = scenario_.filesIn("output/print-to-file");
  ASSERT_EQ(files.size(), kReports.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_TRUE(std::regex_match(files[i].filename().string(), std::regex("STD-" + kReports[i] + R"(-\d{5}\.dat)")))
        << files[i];
    const std::string layout = commandOutput("pdftotext -layout '" + files[i].string() + "' -");
    EXPECT_EQ(layout, readFile(kGolden / (kReports[i] + ".txt"))) << kReports[i];
  }
  EXPECT_TRUE(scenario_.filesIn("printers/VornPDF").empty());
}

}  // namespace
}  // namespace vorn::e2e
