#include "agent/jobs/output_file_name.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_file_system.h"

namespace vorn::testing {
namespace {

// High bits set and a low part above 100000, to see that only the low 32
// bits count and that the counter is taken modulo 100000.
constexpr std::uint64_t kClockAt12345 = (0xABCDull << 32) | 4000012345u;

JobSettings settingsFor(std::uint16_t ptfOpt, std::string prefix = "/out/") {
  JobSettings s;
  s.printToFile = true;
  s.ptfOpt = ptfOpt;
  s.ptfPath = std::move(prefix);
  return s;
}

struct PatternCase {
  std::uint16_t ptfOpt;
  const char* expected;
};

TEST(OutputFileName, EveryPatternComposesItsName) {
  const PatternCase cases[] = {
      {0, "/out/VORNrpt-12345.dat"}, {1, "/out/VORNrpt-12345.dat"},
      {2, "/out/Rep.dat"},           {3, "/out/Rep-12345.dat"},
      {4, "/out/FRM-Rep-12345.dat"}, {5, "/out/Rep.lis"},
      {6, "/out/Rep-12345.lis"},     {7, "/out/FRM-Rep-12345.lis"},
      // Values without a pattern of their own fall back to that of 0.
      {8, "/out/VORNrpt-12345.dat"}, {65535, "/out/VORNrpt-12345.dat"},
  };
  for (const auto& c : cases) {
    fakes::FakeClock clock(kClockAt12345);
    fakes::FakeFileSystem files;
    EXPECT_EQ(chooseOutputFileName(settingsFor(c.ptfOpt), "FRM", "Rep", clock, files), c.expected)
        << "PTFOpt " << c.ptfOpt;
  }
}

TEST(OutputFileName, PrefixIsUsedWithoutSeparatorAndEmptyReportStays) {
  fakes::FakeClock clock(3);
  fakes::FakeFileSystem files;
  EXPECT_EQ(chooseOutputFileName(settingsFor(2, "C:\\spool\\x"), "F", "", clock, files),
            "C:\\spool\\x.dat");
  EXPECT_EQ(chooseOutputFileName(settingsFor(3, ""), "F", "R", clock, files), "R-00003.dat");
}

TEST(OutputFileName, NamesWithoutCounterAreTakenWithoutProbing) {
  for (std::uint16_t opt : {2, 5}) {
    fakes::FakeClock clock(kClockAt12345);
    fakes::FakeFileSystem files;
    const std::string existing = opt == 2 ? "/out/Rep.dat" : "/out/Rep.lis";
    files.add(existing, "earlier");
    EXPECT_EQ(chooseOutputFileName(settingsFor(opt), "F", "Rep", clock, files), existing);
    EXPECT_TRUE(files.opened.empty());
  }
}

struct ProbeCase {
  const char* name;
  std::uint32_t low;
  std::vector<std::string> existing;
  const char* expected;
  std::size_t probes;
};

TEST(OutputFileName, CounterMovesOnPastExistingFiles) {
  const ProbeCase cases[] = {
      {"free at once", 12345, {}, "/out/Rep-12345.dat", 1},
      {"third candidate", 12345, {"/out/Rep-12345.dat", "/out/Rep-12346.dat"}, "/out/Rep-12347.dat", 3},
      {"gap is not skipped", 12345, {"/out/Rep-12346.dat"}, "/out/Rep-12345.dat", 1},
      {"wraps to zero", 99999, {"/out/Rep-99999.dat"}, "/out/Rep-00000.dat", 2},
      // The sum wraps at 2^32 first: 4294967295 % 100000 is 67295, the next is 0.
      {"wraps at 2^32", 0xFFFFFFFFu, {"/out/Rep-67295.dat"}, "/out/Rep-00000.dat", 2},
  };
  for (const auto& c : cases) {
    fakes::FakeClock clock(c.low);
    fakes::FakeFileSystem files;
    for (const auto& path : c.existing) files.add(path, "");
    EXPECT_EQ(chooseOutputFileName(settingsFor(3), "F", "Rep", clock, files), c.expected) << c.name;
    EXPECT_EQ(files.opened.size(), c.probes) << c.name;
    EXPECT_EQ(files.openFiles, 0) << c.name << ": a probe handle was left open";
  }
}

// A file system in which every name exists.
class EverythingExists final : public platform::FileSystem {
 public:
  std::size_t probes = 0;
  std::uint32_t openForReading(std::string_view, std::unique_ptr<platform::File>&) override {
    return platform::kErrorAccessDenied;
  }
  std::uint32_t openToProbe(std::string_view path, std::unique_ptr<platform::File>& file) override {
    ++probes;
    backing_.add(std::string(path), "");
    return backing_.openToProbe(path, file);
  }
  std::uint32_t createExclusive(std::string_view, std::unique_ptr<platform::File>&) override {
    return platform::kErrorAccessDenied;
  }
  std::uint32_t createNew(std::string_view, std::unique_ptr<platform::File>&) override {
    return platform::kErrorFileExists;
  }

 private:
  fakes::FakeFileSystem backing_;
};

TEST(OutputFileName, AllCountersTakenEndsWithTheLastCandidate) {
  fakes::FakeClock clock(500);
  EverythingExists files;
  EXPECT_EQ(chooseOutputFileName(settingsFor(6), "F", "Rep", clock, files), "/out/Rep-00499.lis");
  EXPECT_EQ(files.probes, kNameCounterModulus);
}

TEST(OutputFileName, OverlongNamesLoseTheirReportPartFirst) {
  const std::string prefix(60, 'p');
  const std::string report(30, 'r');
  // prefix 60 + form 4 + "-" + report + "-00001.lis" (10): 4 characters too many.
  const std::string name = composeOutputFileName(7, prefix, "FORM", report, 1);
  EXPECT_EQ(name.size(), kOutputFileNameMax);
  EXPECT_EQ(name, prefix + "FORM-" + std::string(26, 'r') + "-00001.lis");
}

TEST(OutputFileName, NameAtTheLimitIsKept) {
  const std::string prefix(101 - 30 - 4, 'p');
  EXPECT_EQ(composeOutputFileName(2, prefix, "", std::string(30, 'r'), 0),
            prefix + std::string(30, 'r') + ".dat");
}

TEST(OutputFileName, PrefixLongerThanTheLimitIsNeverCut) {
  const std::string prefix(120, 'p');
  EXPECT_EQ(composeOutputFileName(4, prefix, "FORM", "Rep", 42), prefix + "--00042.dat");
  EXPECT_EQ(composeOutputFileName(0, prefix, "FORM", "Rep", 42), prefix + "VORNrpt-00042.dat");
}

}  // namespace
}  // namespace vorn::testing
