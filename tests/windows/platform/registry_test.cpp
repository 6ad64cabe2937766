// The profiles of the sample registry file, imported into the real registry
// with the system's own `reg import`, read back through the registry and the
// agent's profile reader.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <map>
#include <filesystem>
#include <fstream>
#include <string>

#include "agent/diag/agent_event_log.h"
#include "agent/profile/printer_profile.h"
#include "platform/child_process.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "platform/wait.h"
#include "tests/fakes/recording_event_source.h"
#include "tests/support/test_support.h"

namespace vorn {
namespace {

// The sample file with the profiles' sections only: the printers it also
// configures are the POSIX platform's own and must not reach Windows' keys.
std::string profilesOnly(std::istream& sample) {
  std::string out;
  std::string line;
  bool keep = true;
  while (std::getline(sample, line)) {
    if (line.starts_with("[")) keep = line.starts_with("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles");
    if (keep) out += line + "\r\n";
  }
  return out;
}

class Win32RegistryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::ifstream sample(VORN_SAMPLES_DIR "/registry.reg");
    ASSERT_TRUE(sample) << VORN_SAMPLES_DIR;
    const std::filesystem::path folder = test::makeTemporaryFolder("vorn-reg-");
    const std::filesystem::path file = folder / "profiles.reg";
    std::ofstream(file, std::ios::binary) << profilesOnly(sample);

    std::unique_ptr<platform::ProcessHandle> reg;
    const std::string command = "reg import \"" + file.string() + "\"";
    platform::ProcessStart start;
    start.commandLine = command;
    ASSERT_EQ(platform::createProcess(start, reg), 0u);
    platform::Waitable* objects[] = {reg.get()};
    ASSERT_EQ(platform::waitForMultipleObjects(objects, 30000, false), platform::kWaitObject0);
    std::uint32_t code = 1;
    ASSERT_TRUE(reg->exitCode(code));
    ASSERT_EQ(code, 0u);
    std::filesystem::remove_all(folder);
  }
};

TEST_F(Win32RegistryTest, ReadsAnImportedProfile) {
  platform::Registry& registry = platform::systemRegistry();
  std::unique_ptr<platform::RegistryKey> key;
  ASSERT_EQ(registry.openKey(ProfileKeyPath("laser1"), platform::kKeyRead | platform::kKeyWow64_64Key, key), 0u);

  std::uint32_t type = 0;
  std::uint32_t size = 0;
  std::array<std::uint8_t, 4> small{};
  EXPECT_EQ(key->queryValue("Machine", type, small, size), platform::kErrorMoreData);
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(size, 10u);  // "localhost" and its terminator
  EXPECT_EQ(key->queryValue("Missing", type, small, size), platform::kErrorFileNotFound);

  fakes::EventRecorder recorder;
  AgentEventLog log(std::make_unique<fakes::RecordingEventSource>(recorder));
  PrinterProfile profile;
  profile.name = "laser1";
  ASSERT_EQ(ReadPrinterProfile(registry, log, profile), 0);
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_EQ(profile.Machine, "localhost");
  EXPECT_EQ(profile.printername, "VornPDF");
  EXPECT_EQ(profile.MainTray, 7);
  EXPECT_TRUE(profile.TwoSide);
  EXPECT_EQ(profile.loadarea, "forms\\");
}

TEST_F(Win32RegistryTest, EnumeratesProfilesAndMissesUnknownKeys) {
  platform::Registry& registry = platform::systemRegistry();
  std::unique_ptr<platform::RegistryKey> key;
  ASSERT_EQ(registry.openKey(kProfilesKeyPath, platform::kKeyRead | platform::kKeyWow64_64Key, key), 0u);
  std::vector<std::string> names;
  std::string name;
  std::uint32_t index = 0;
  while (key->enumSubkey(index++, name) == 0) names.push_back(name);
  EXPECT_EQ(key->enumSubkey(index, name), platform::kErrorNoMoreItems);
  EXPECT_EQ(names, (std::vector<std::string>{"DISK1", "FILE1", "LASER1"}));

  EXPECT_EQ(registry.openKey(ProfileKeyPath("nosuch"), platform::kKeyRead, key), platform::kErrorFileNotFound);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(registry.openKey("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\VornPDF", platform::kKeyRead, key),
            platform::kErrorFileNotFound);
}

// Key names the ANSI code page cannot hold: RegEnumKeyExA gives "???" for
// both, RegEnumKeyExW tells them apart.
TEST(Win32RegistryNames, EnumerationGivesTheAnsiAndTheUnicodeName) {
  const std::wstring parent = L"Software\\Kolvane\\VornPrint\\NameTest";
  for (const wchar_t* name : {L"\u6253\u5370\u673A", L"\u590D\u5370\u673A", L"B\u00FCro"}) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (parent + L"\\" + name).c_str(), 0, nullptr, 0, KEY_WRITE,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
  }
  std::unique_ptr<platform::RegistryKey> key;
  ASSERT_EQ(platform::systemRegistry().openKey("Software\\Kolvane\\VornPrint\\NameTest", platform::kKeyRead, key),
            0u);
  std::map<std::string, std::string> names;  // Unicode name -> ANSI name
  std::string ansi;
  std::string unicode;
  for (std::uint32_t index = 0; key->enumSubkeyNames(index, ansi, unicode) == 0; ++index) names[unicode] = ansi;
  key.reset();
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, parent.c_str());
  EXPECT_EQ(names, (std::map<std::string, std::string>{{"\xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA", "???"},
                                                       {"\xE5\xA4\x8D\xE5\x8D\xB0\xE6\x9C\xBA", "???"},
                                                       {"B\xC3\xBCro", "B\xFCro"}}));
}

}  // namespace
}  // namespace vorn
