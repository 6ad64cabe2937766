// Reports sent by vornhost and printed by the agent, on each output target.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include "tests/e2e/agent/agent_scenario.h"

namespace vorn::e2e {
namespace {

using namespace std::chrono_literals;

// A report of `pages` pages of `lines` numbered lines each, a form feed after each page.
std::string numberedReport(int pages, int lines) {
  std::string stream = "\r";  // a report's data starts with a control byte
  for (int page = 1; page <= pages; ++page) {
    for (int line = 1; line <= lines; ++line) {
      char text[96];
      std::snprintf(text, sizeof text, "Page %d line %02d: the quick brown fox jumps over the lazy dog\r\n", page, line);
      stream += text;
    }
    stream += '\f';
  }
  return stream;
}

// A print message of the host: type 0x01, 0x00, two bytes, then the body.
std::string message(const std::string& body) { return std::string("\x01\x00\x00\x00", 4) + body; }

// A header record: 0x02 0x20, the form in 4 characters, the report name in 30.
std::string header(const std::string& form, const std::string& report) {
  std::string record = "\x02\x20" + form;
  record.resize(6, ' ');
  record += report;
  record.resize(36, ' ');
  return record;
}

const std::string kTerminator = "\x02/";

bool allAcknowledged(const test::ChildProcess& host) {
  return host.standardOutput().find("wrong=0 missing=0") != std::string::npos;
}

int pdfPages(const std::filesystem::path& pdf) {
  const std::string info = commandOutput("pdfinfo '" + pdf.string() + "'");
  std::smatch m;
  if (!std::regex_search(info, m, std::regex(R"(Pages:\s+(\d+))"))) return -1;
  return std::stoi(m[1]);
}

std::string pdfText(const std::filesystem::path& pdf) {
  return commandOutput("pdftotext -layout '" + pdf.string() + "' -");
}

// A small tmpfs over `folder` for the test's lifetime, in a mount namespace of
// the test's own so that it cannot outlive the test process.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::filesystem::path& folder) : folder_(folder) {
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=256k") != 0)
      return;
    mounted_ = true;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

  // Fills it up, then frees `room` bytes.
  void fillLeaving(off_t room) const {
    const int fd = ::open((folder_ / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'f');
    off_t size = 0;
    for (ssize_t n; (n = ::write(fd, block.data(), block.size())) > 0;) size += n;
    ASSERT_EQ(::ftruncate(fd, size - room), 0);
    ::close(fd);
  }

 private:
  std::filesystem::path folder_;
  bool mounted_ = false;
};

TEST(AgentPrinting, AFullDiskAtTheDocumentsEndIsReportedAndLeavesNoFile) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(29, "VornPDF"), "VornPDF");
  SmallFileSystem disk(scenario.root() / "VornPDF");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a small file system needs root";
  // One page is far below the output's buffer: the disk fills only at the end.
  disk.fillLeaving(4096);
  const auto report = scenario.writeFile("reports/short.vps", numberedReport(1, 40));
  auto& host = scenario.startHost({"--pipe", "29", report.string(), "--terminate", "2"});

  EXPECT_EQ(scenario.runAgent("laser1").exitCode, 0);
  ASSERT_TRUE(host.wait(10s));
  EXPECT_TRUE(allAcknowledged(host)) << host.standardOutput();
  std::vector<std::string> texts;
  for (const auto& event : scenario.events()) texts.push_back(eventText(event));
  EXPECT_EQ(texts, (std::vector<std::string>{"Error while printing - VornPrintEnd failed | 112",
                                             "laser1 | terminating - the online application has been shut down."}));
  const auto files = scenario.filesIn("VornPDF");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename(), "filler") << "nothing half-written stays";
}

// The peak resident set of a running process in KiB (VmHWM): of its own
// program only, unlike the rusage of a spawned child, which starts from the
// spawning process's.
long peakResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
  return -1;
}

// A line without an end is drawn as far as a page can show it; the rest
// passes through the agent without being kept.
TEST(AgentPrinting, AnEndlessLineCostsNoMemory) {
  // Under AddressSanitizer freed memory is held back for a while, which
  // would count every message passed through: the agents here reuse it at once.
  const char* sanitizer = std::getenv("ASAN_OPTIONS");
  const std::string previous = sanitizer != nullptr ? sanitizer : "";
  ::setenv("ASAN_OPTIONS", (previous + (previous.empty() ? "" : ":") + "quarantine_size_mb=0").c_str(), 1);
  struct Restore {
    const std::string& previous;
    bool had;
    ~Restore() { had ? ::setenv("ASAN_OPTIONS", previous.c_str(), 1) : ::unsetenv("ASAN_OPTIONS"); }
  } restore{previous, sanitizer != nullptr};
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(31, "VornPDF"), "VornPDF");
  const auto printLine = [&](std::size_t length, const std::string& name) {
    const auto report = scenario.writeFile("reports/" + name + ".vps", "\rSTART ");
    {
      std::ofstream out(report, std::ios::binary | std::ios::app);
      const std::string chunk(1 << 20, 'x');
      for (std::size_t left = length; left > 0; left -= std::min(left, chunk.size()))
        out.write(chunk.data(), static_cast<std::streamsize>(std::min(left, chunk.size())));
      out << "\r\nEND\r\n\f";
    }
    auto& host = scenario.startHost({"--pipe", "31", report.string(), "--hold"});
    auto& agent = scenario.startAgent("laser1");
    EXPECT_TRUE(scenario.waitForHostOutput("sent report=" + name, 60s)) << host.standardOutput();
    const long peak = peakResidentKb(agent.pid());
    agent.signal(SIGTERM);
    EXPECT_TRUE(agent.wait(10s));
    EXPECT_EQ(agent.exitCode(), 0);
    EXPECT_TRUE(host.wait(10s));
    EXPECT_TRUE(allAcknowledged(host)) << host.standardOutput();
    return peak;
  };
  const long shortLine = printLine(20000, "short");
  const long endlessLine = printLine(30000000, "endless");
  EXPECT_GT(shortLine, 0);
  EXPECT_LT(endlessLine, shortLine + 10240) << "peak KiB: " << shortLine << " for 20 KB, " << endlessLine
                                            << " for 30 MB";
  const auto pdfs = scenario.filesIn("VornPDF");
  ASSERT_EQ(pdfs.size(), 2u);
  EXPECT_EQ(pdfPages(pdfs[1]), 1);
  const std::string text = pdfText(pdfs[1]);
  EXPECT_TRUE(text.starts_with("START xxxxxxxxxx")) << text.substr(0, 80);
  EXPECT_NE(text.find("\nEND"), std::string::npos);
}

TEST(AgentPrinting, MultiMessageReportOnTheBuiltInPdfPrinter) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(21, "VornPDF"), "VornPDF");
  const auto report = scenario.writeFile("reports/ledger.vps", numberedReport(3, 50));
  ASSERT_GT(std::filesystem::file_size(report), 8208u);  // more than one message
  auto& host = scenario.startHost({"--pipe", "21", "--form", "STD", report.string(), "--terminate", "2"});

  EXPECT_EQ(scenario.runAgent("laser1").exitCode, 0);
  ASSERT_TRUE(host.wait(10s));
  EXPECT_EQ(host.exitCode(), 0);
  EXPECT_TRUE(allAcknowledged(host)) << host.standardOutput();
  EXPECT_NE(host.standardOutput().find("sent report=ledger messages=2"), std::string::npos);

  const auto pdfs = scenario.filesIn("VornPDF");
  ASSERT_EQ(pdfs.size(), 1u);
  EXPECT_EQ(pdfs[0].filename().string(), "1 Vorn_ ledger.pdf");
  EXPECT_EQ(pdfPages(pdfs[0]), 3);
  const std::string text = pdfText(pdfs[0]);
  for (const char* line : {"Page 1 line 01: the quick brown fox", "Page 2 line 50: the quick brown fox",
                           "Page 3 line 25: the quick brown fox"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  // Each line starts at the left margin: the first text column of the page.
  EXPECT_NE(text.find("\nPage 3 line 02"), std::string::npos);
}

struct NamingCase {
  int ptfOpt;
  const char* pattern;  // the file name, as a regular expression
};

void PrintTo(const NamingCase& c, std::ostream* os) { *os << "PTFOpt " << c.ptfOpt; }

class PrintToFileNamingTest : public testing::TestWithParam<NamingCase> {};

TEST_P(PrintToFileNamingTest, NamesTheOutputFile) {
  AgentScenario scenario;
  auto profile = pipeProfile(22, "VornPDF");
  profile.texts["PrintToFile"] = "yes";
  profile.texts["PTFPath"] = (scenario.root() / "out").string() + "/";
  profile.dwords["PTFOpt"] = static_cast<std::uint32_t>(GetParam().ptfOpt);
  scenario.writeRegistry("laser1", profile, "VornPDF");
  std::filesystem::create_directories(scenario.root() / "out");
  const auto report = scenario.writeFile("reports/r.vps", numberedReport(1, 3));
  auto& host = scenario.startHost(
      {"--pipe", "22", "--form", "INV", "--report", "March Sales", report.string(), "--terminate", "1"});

  EXPECT_EQ(scenario.runAgent("laser1").exitCode, 0);
  ASSERT_TRUE(host.wait(10s));
  EXPECT_TRUE(allAcknowledged(host));

  const auto files = scenario.filesIn("out");
  ASSERT_EQ(files.size(), 1u);
  const std::string name = files[0].filename().string();
  EXPECT_TRUE(std::regex_match(name, std::regex(GetParam().pattern))) << name;
  // Print-to-file holds the printer driver's output: here a PDF of the report.
  EXPECT_EQ(readFile(files[0]).substr(0, 5), "%PDF-");
  EXPECT_NE(pdfText(files[0]).find("Page 1 line 03"), std::string::npos);
  EXPECT_TRUE(scenario.filesIn("VornPDF").empty());  // nothing went to the printer
}

INSTANTIATE_TEST_SUITE_P(Patterns, PrintToFileNamingTest,
                         testing::Values(NamingCase{0, R"(VORNrpt-\d{5}\.dat)"},
                                         NamingCase{2, R"(March Sales\.dat)"},
                                         NamingCase{4, R"(INV-March Sales-\d{5}\.dat)"},
                                         NamingCase{7, R"(INV-March Sales-\d{5}\.lis)"}));

// A report that uses every kind of byte the direct-to-disk writer translates.
std::string directToDiskReport() {
  return std::string("\r\nKOLVANE TRADING\x0e\x05" "Statement\r\n") +
         "\x02" "A120\r\n" +                                 // a command: dropped up to the line end
         "Item\x09" "Amount\r\n" +                           // a tab gives nothing
         "Rent\x0e\x03" "900.00\r\n" +
         std::string("\x14\x23\x01\x02\x03", 5) + "raw\r\n" +  // raw data passes as it is
         "\f" + "Page two\r\n" + "\f";
}

class DirectToDiskTest : public testing::TestWithParam<bool> {};

TEST_P(DirectToDiskTest, MatchesTheReviewedFile) {
  const bool jetform = GetParam();
  AgentScenario scenario;
  auto profile = pipeProfile(23, "NoPrinterNeeded");
  profile.texts["PrintToFile"] = "yes";
  profile.texts["directtodisk"] = "yes";
  if (jetform) profile.texts["JetformFlag"] = "yes";
  profile.texts["PTFPath"] = (scenario.root() / "out").string() + "/";
  profile.dwords["PTFOpt"] = 2;
  scenario.writeRegistry("laser1", profile);
  std::filesystem::create_directories(scenario.root() / "out");
  const auto report = scenario.writeFile("reports/statement.vps", directToDiskReport());
  auto& host = scenario.startHost({"--pipe", "23", "--report", "Monthly statement", report.string(),
                                   "--terminate", "1"});

  EXPECT_EQ(scenario.runAgent("laser1").exitCode, 0);
  ASSERT_TRUE(host.wait(10s));
  EXPECT_TRUE(allAcknowledged(host));

  // JetformFlag also replaces the blanks of the report name by underscores.
  const auto output = scenario.root() / "out" / (jetform ? "Monthly_statement.dat" : "Monthly statement.dat");
  ASSERT_TRUE(std::filesystem::exists(output)) << output;
  const auto golden = std::filesystem::path(VORN_E2E_GOLDEN_DIR) /
                      (jetform ? "direct-to-disk-jetform.txt" : "direct-to-disk.txt");
  EXPECT_EQ(readFile(output), readFile(golden));
}

INSTANTIATE_TEST_SUITE_P(JetformFlag, DirectToDiskTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "On" : "Off"; });

TEST(AgentPrinting, SecondHeaderEndsTheFirstJob) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(24, "VornPDF"), "VornPDF");
  const auto first = scenario.writeFile("raw/first", message(header("STD", "first") + "\rfirst report\r\n"));
  const auto second =
      scenario.writeFile("raw/second", message(header("STD", "second") + "\rsecond report\r\n" + kTerminator));
  auto& host = scenario.startHost({"--pipe", "24", "--raw", first.string(), "--raw", second.string(),
                                   "--terminate", "1"});

  EXPECT_EQ(scenario.runAgent("laser1").exitCode, 0);
  ASSERT_TRUE(host.wait(10s));
  EXPECT_TRUE(allAcknowledged(host));
  const auto pdfs = scenario.filesIn("VornPDF");
  ASSERT_EQ(pdfs.size(), 2u);
  EXPECT_EQ(pdfs[0].filename().string(), "1 Vorn_ first.pdf");
  EXPECT_NE(pdfText(pdfs[0]).find("first report"), std::string::npos);
  EXPECT_NE(pdfText(pdfs[1]).find("second report"), std::string::npos);
  EXPECT_TRUE(scenario.events().empty());
}

TEST(AgentPrinting, DataWithoutAnOpenJobIsReportedAndAcknowledged) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(25, "VornPDF"), "VornPDF");
  const auto data = scenario.writeFile("raw/data", message("\rorphan data\r\n"));
  auto& host = scenario.startHost({"--pipe", "25", "--raw", data.string(), "--terminate", "1"});

  EXPECT_EQ(scenario.runAgent("laser1").exitCode, 0);
  ASSERT_TRUE(host.wait(10s));
  EXPECT_TRUE(allAcknowledged(host));
  const auto events = scenario.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].strings[1], "processprint err 5");
  EXPECT_TRUE(scenario.filesIn("VornPDF").empty());
}

TEST(AgentPrinting, BytesAfterTheTerminator) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(26, "VornPDF"), "VornPDF");
  const auto three = scenario.writeFile("raw/three", message(header("", "three") + "\rA\r\n" + kTerminator + "xyz"));
  const auto four = scenario.writeFile("raw/four", message(header("", "four") + "\rB\r\n" + kTerminator + "wxyz"));
  auto& host = scenario.startHost({"--pipe", "26", "--raw", three.string(), "--raw", four.string(),
                                   "--terminate", "1"});

  EXPECT_EQ(scenario.runAgent("laser1").exitCode, 0);
  ASSERT_TRUE(host.wait(10s));
  EXPECT_TRUE(allAcknowledged(host));
  // Both jobs end; only the fourth trailing byte is reported.
  EXPECT_EQ(scenario.filesIn("VornPDF").size(), 2u);
  const auto events = scenario.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].strings[1], "processprint err 6");
}

TEST(AgentPrinting, SigtermInTheMiddleOfAReportPrintsItAsFarAsItCame) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(27, "VornPDF"), "VornPDF");
  const auto part = scenario.writeFile("raw/part", message(header("STD", "cut short") + numberedReport(2, 5)));
  scenario.startHost({"--pipe", "27", "--raw", part.string(), "--hold"});
  auto& agent = scenario.startAgent("laser1");
  ASSERT_TRUE(scenario.waitForHostOutput("sent raw="));

  agent.signal(SIGTERM);
  ASSERT_TRUE(agent.wait(10s));
  EXPECT_EQ(agent.exitCode(), 0);
  const auto pdfs = scenario.filesIn("VornPDF");
  ASSERT_EQ(pdfs.size(), 1u);
  EXPECT_EQ(pdfs[0].filename().string(), "1 Vorn_ cut short.pdf");
  EXPECT_EQ(pdfPages(pdfs[0]), 2);
  EXPECT_NE(pdfText(pdfs[0]).find("Page 2 line 05"), std::string::npos);
}

TEST(AgentPrinting, MalformedMessagesAreReportedAndStillAcknowledged) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(28, "VornPDF"), "VornPDF");
  const auto wrongType = scenario.writeFile("raw/type", std::string("\x05\x00\x00\x00", 4) + header("", "t") + "\r" +
                                                            kTerminator);
  const auto oneByte = scenario.writeFile("raw/short", "\x01");
  const auto stray = scenario.writeFile("raw/stray", message(header("", "s") + "\rA\x02 B\r\n" + kTerminator));
  auto& host = scenario.startHost({"--pipe", "28", "--raw", wrongType.string(), "--raw", oneByte.string(),
                                   "--raw", stray.string(), "--terminate", "1"});

  EXPECT_EQ(scenario.runAgent("laser1").exitCode, 0);
  ASSERT_TRUE(host.wait(10s));
  EXPECT_TRUE(allAcknowledged(host)) << host.standardOutput();
  std::vector<std::string> texts;
  for (const auto& event : scenario.events()) texts.push_back(eventText(event));
  EXPECT_EQ(texts, (std::vector<std::string>{"processprint err 1 | ",
                                             "processprint error in print command header or structure | ",
                                             "processprint err 4 | 42"}));
}

}  // namespace
}  // namespace vorn::e2e
