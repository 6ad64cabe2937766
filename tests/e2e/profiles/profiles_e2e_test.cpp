// VornPrintProfiles as an administrator uses it, on the sample registry of a
// temporary platform root: every command, the agent reading what it wrote,
// writers racing each other, and readers meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "common/version.h"
#include "platform/regfile/reg_parser.h"
#include "tests/support/test_support.h"

namespace vorn::e2e {
namespace {

using namespace std::chrono_literals;

const std::filesystem::path kSampleRegistry = VORN_SAMPLES_DIR "/registry.reg";
constexpr std::string_view kProfiles = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles";

std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class ProfilesTool : public ::testing::Test {
 protected:
  void SetUp() override { test::writeRegistry(root_.path(), readFile(kSampleRegistry)); }

  test::ProgramResult tool(const std::vector<std::string>& args) {
    return test::runProgram(test::programPath("VornPrintProfiles"), args);
  }
  std::string registry() const { return readFile(root_.path() / "registry.reg"); }

  test::TempRoot root_;
};

struct Step {
  std::vector<std::string> args;
  int status;
  std::string out;  // in the standard output ("" : anything)
  std::string err;  // in the standard error
};

void runSteps(const std::vector<Step>& steps,
              const std::function<test::ProgramResult(const std::vector<std::string>&)>& tool) {
  for (const Step& step : steps) {
    std::string line;
    for (const std::string& arg : step.args) line += arg + " ";
    const auto run = tool(step.args);
    EXPECT_EQ(run.exitCode, step.status) << line << "\n" << run.standardOutput << run.standardError;
    EXPECT_NE(run.standardOutput.find(step.out), std::string::npos) << line << "\n" << run.standardOutput;
    EXPECT_NE(run.standardError.find(step.err), std::string::npos) << line << "\n" << run.standardError;
  }
}

TEST_F(ProfilesTool, EveryCommandAndTheFileKeptByteForByte) {
  const std::string sample = registry();
  const std::string longName(104, 'n');
  const std::vector<Step> steps = {
      {{"list"}, 0, "PROFILE  ACTIVE  PRINTER  HOST\nDISK1    yes     none     localhost pipe 5003\n", ""},
      {{"add", "NEW1", "Machine=localhost", "Online=ACCT", "User=PRT", "Location=HALL", "printerid=NEW1",
        "printername=VornPDF", "Port=5009", "MainTray=7"},
       0, "added NEW1", ""},
      {{"add", "new1"}, 1, "", "profile \"new1\" exists (set changes its values)"},
      {{"add", "quo\"te"}, 1, "", "the service would never start it: its name contains a double quote"},
      {{"set", "NEW1", "printername=" + longName}, 1, "", "printername: 104 characters, the agent takes at most 103"},
      {{"set", "NEW1", "MainTray=70000"}, 1, "", "is not a number the agent takes (0 to 65535)"},
      {{"set", "NEW1", "Colour=blue"}, 1, "", "unknown value \"Colour\""},
      {{"--force", "set", "NEW1", "Colour=blue", "AltTray=0x2"}, 0, "set NEW1: Colour, AltTray", ""},
      {{"unset", "NEW1", "Colour", "Nope"}, 1, "", "profile \"NEW1\" has no value \"Nope\""},
      {{"unset", "new1", "colour"}, 0, "unset new1: colour", ""},
      {{"activate", "NEW1"}, 0, "activated NEW1", ""},
      {{"show", "NEW1"}, 0,
       "Machine=localhost\nOnline=ACCT\nUser=PRT\nLocation=HALL\nprinterid=NEW1\nprintername=VornPDF\nPort=5009\n"
       "MainTray=7\nAltTray=2\nActive=yes\n",
       ""},
      {{"deactivate", "NEW1"}, 0, "deactivated NEW1", ""},
      {{"list"}, 0, "NEW1     no      VornPDF  localhost pipe 5009", ""},
      {{"remove", "NEW1"}, 0, "removed NEW1", ""},
      {{"show", "NEW1"}, 1, "", "no profile \"NEW1\""},
      {{"remove", "NEW1"}, 1, "", "no profile \"NEW1\""},
      {{"set", "LASER1", "printer\xC5\x91=x"}, 2, "", "has characters the ANSI code page (Windows-1252) lacks"},
      {{"add", "\xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA"}, 2, "", "lacks"},
      {{"frobnicate"}, 2, "", "unknown command frobnicate"},
      {{"--version"}, 0, VersionLine("VornPrintProfiles"), ""},
      {{"--help"}, 0, "export [NAME...] FILE.reg", ""},
  };
  runSteps(steps, [this](const auto& args) { return tool(args); });
  // Added and removed again: the file is the sample it was, byte for byte.
  EXPECT_EQ(registry(), sample);

  // One value changed: that line, and nothing else.
  ASSERT_EQ(tool({"set", "laser1", "MainForm=INV"}).exitCode, 0);
  std::string expected = sample;
  expected.replace(expected.find("\"MainForm\"=\"STD\""), 16, "\"MainForm\"=\"INV\"");
  EXPECT_EQ(registry(), expected);
}

TEST_F(ProfilesTool, ExportedProfilesImportAgain) {
  const std::string exported = (root_.path() / "exported.reg").string();
  ASSERT_EQ(tool({"export", exported}).exitCode, 0);
  const std::string file = readFile(exported);
  EXPECT_TRUE(file.starts_with(std::string("\xFF\xFEW\0i\0n\0d\0o\0w\0s\0", 16))) << "regedit's UTF-16";
  EXPECT_EQ(tool({"export", "LASER1", exported}).exitCode, 1);  // no silent overwrite
  const auto shown = tool({"show", "FILE1"}).standardOutput;

  ASSERT_EQ(tool({"remove", "FILE1"}).exitCode, 0);
  ASSERT_EQ(tool({"set", "DISK1", "Location=ELSEWHERE"}).exitCode, 0);
  const auto imported = tool({"import", exported});
  EXPECT_EQ(imported.exitCode, 0) << imported.standardError;
  EXPECT_NE(imported.standardOutput.find("imported FILE1 (new)"), std::string::npos) << imported.standardOutput;
  EXPECT_NE(imported.standardOutput.find("imported DISK1 (changed)"), std::string::npos);
  EXPECT_EQ(tool({"show", "FILE1"}).standardOutput, shown);
  EXPECT_NE(tool({"show", "DISK1"}).standardOutput.find("Location=ARCHIVE"), std::string::npos);

  // A file with a value the agent would not take changes nothing.
  const std::string bad = (root_.path() / "bad.reg").string();
  std::ofstream(bad) << "REGEDIT4\n\n[" << kProfiles << "\\LASER1]\n\"MainTray\"=\"7\"\n\n[" << kProfiles
                     << "\\NEW2]\n\"Machine\"=\"x\"\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n";
  const std::string before = registry();
  const auto refused = tool({"import", bad});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.standardError.find("LASER1: MainTray: not a REG_DWORD number"), std::string::npos)
      << refused.standardError;
  EXPECT_NE(refused.standardError.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]: not a printer profile"),
            std::string::npos);
  EXPECT_EQ(registry(), before);
}

TEST_F(ProfilesTool, CheckTellsWhatWouldFailToStart) {
  ASSERT_EQ(tool({"add", "BROKEN", "Active=Yes", "Machine=localhost", "Online=ACCT", "User=PRT", "Location=HALL",
                  "printerid=LASER1", "printername=NoSuchPrinter", "CommType=socket", "Port=0"})
                .exitCode,
            0);
  const auto check = tool({"check"});
  EXPECT_EQ(check.exitCode, 1);
  for (const std::string line : {
           "BROKEN: warning: Active is \"Yes\", not exactly \"yes\": the service does not start this profile\n",
           "BROKEN: error: Port 0 is not a port number (1 to 65535): the agent cannot attach by TCP\n",
           "BROKEN: error: printername \"NoSuchPrinter\" is not a printer of this machine (1801)\n",
           "4 profiles checked: 1 would fail to start\n"}) {
    EXPECT_NE(check.standardOutput.find(line), std::string::npos) << line << "\nin\n" << check.standardOutput;
  }
  ASSERT_EQ(tool({"set", "BROKEN", "printername=VornPDF", "Port=5010", "Active=yes"}).exitCode, 0);
  const auto again = tool({"check", "broken"});
  // Now active, it shares LASER1's printerid: the host would see one printer twice.
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.standardOutput.find("BROKEN: error: printerid \"LASER1\" is also the printerid of active LASER1"),
            std::string::npos)
      << again.standardOutput;
  ASSERT_EQ(tool({"set", "BROKEN", "printerid=BROKEN"}).exitCode, 0);
  EXPECT_EQ(tool({"check", "BROKEN"}).exitCode, 0);
}

// What the tool writes, the agent reads: a direct-to-disk profile added by
// the tool prints the host's report. The registry also holds a hand-written
// key whose name Windows cannot hold: it is passed over, not the whole file.
TEST_F(ProfilesTool, TheAgentReadsWhatItWrote) {
  std::string text = registry() + "\n[" + std::string(kProfiles) + "\\" + std::string(300, 'x') + "]\n\"a\"=\"b\"\n";
  test::writeRegistry(root_.path(), text);
  const auto out = root_.path() / "out";
  std::filesystem::create_directories(out);
  const auto added = tool({"add", "DISKX", "Machine=localhost", "Online=ACCT", "User=PRT", "Location=HALL",
                           "printerid=DISKX", "printername=none", "Port=5041", "PrintToFile=yes", "directtodisk=yes",
                           "PTFPath=" + out.string() + "/", "PTFOpt=2"});
  EXPECT_EQ(added.exitCode, 0) << added.standardError;
  EXPECT_NE(added.standardError.find("key name longer than 255 characters"), std::string::npos) << added.standardError;

  const auto report = root_.path() / "statement.vps";
  std::ofstream(report, std::ios::binary) << "\r\nKOLVANE TRADING\r\nRent 900.00\r\n\f";
  test::ChildProcess host(test::programPath("vornhost"),
                          {"--pipe", "5041", "--report", "Monthly statement", report.string(), "--terminate", "1"});
  for (int i = 0; i < 100 && host.standardOutput().find("listening") == std::string::npos; ++i) {
    std::this_thread::sleep_for(50ms);
  }
  const auto agent = test::runProgram(test::programPath("spoolagent"), {"/profile=\"DISKX\""});
  EXPECT_EQ(agent.exitCode, 0) << agent.standardError;
  EXPECT_TRUE(host.wait(10s));
  EXPECT_EQ(host.exitCode(), 0) << host.standardOutput();
  EXPECT_NE(host.standardOutput().find("acks: right=1 wrong=0 missing=0"), std::string::npos) << host.standardOutput();
  EXPECT_NE(readFile(out / "Monthly statement.dat").find("KOLVANE TRADING"), std::string::npos);
  EXPECT_TRUE(test::readEvents(root_.path()).empty());
}

// Writers in parallel lose nothing of each other's, and a reader meanwhile
// always finds a whole registry: every profile that was there, never fewer of
// the new ones than it saw before.
TEST_F(ProfilesTool, RacingWritersLoseNothingAndReadersSeeWholeFiles) {
  constexpr int kEach = 8;
  std::atomic<bool> writing = true;
  std::atomic<int> reads = 0;
  std::string readerFault;
  std::thread reader([&] {
    std::size_t seen = 0;
    while (writing && readerFault.empty()) {
      const std::string bytes = registry();
      const auto parsed = platform::regfile::parseRegFile(bytes, "registry.reg");
      if (!parsed.tree) {
        readerFault = "a reader found a file it cannot parse: " + parsed.error;
        break;
      }
      const auto* profiles = parsed.tree->findKey(kProfiles);
      if (profiles == nullptr || !profiles->findSubkey("LASER1") || !profiles->findSubkey("DISK1")) {
        readerFault = "a reader found the sample's profiles gone";
        break;
      }
      const std::size_t now = profiles->subkeys().size();
      if (now < seen) readerFault = "a reader found fewer profiles than before";
      seen = now;
      ++reads;
    }
  });
  const auto writer = [this](const std::string& prefix) {
    for (int i = 0; i < kEach; ++i) {
      const auto name = prefix + std::to_string(i);
      EXPECT_EQ(tool({"add", name, "Machine=localhost", "MainTray=" + std::to_string(i)}).exitCode, 0) << name;
      EXPECT_EQ(tool({"set", "LASER1", prefix + "=" + std::to_string(i), "--force"}).exitCode, 0);
    }
  };
  std::thread a(writer, "A");
  std::thread b(writer, "B");
  a.join();
  b.join();
  writing = false;
  reader.join();
  EXPECT_EQ(readerFault, "");
  EXPECT_GT(reads, 0);

  const auto list = tool({"list"}).standardOutput;
  for (const std::string prefix : {"A", "B"}) {
    for (int i = 0; i < kEach; ++i) {
      const auto shown = tool({"show", prefix + std::to_string(i)}).standardOutput;
      EXPECT_EQ(shown, "Machine=localhost\nMainTray=" + std::to_string(i) + "\n") << prefix << i;
    }
    EXPECT_NE(tool({"show", "LASER1"}).standardOutput.find(prefix + "=" + std::to_string(kEach - 1)),
              std::string::npos);
  }
}

}  // namespace
}  // namespace vorn::e2e
