#include "platform/registry.h"

#include "platform/error.h"
#include "platform/regfile/reg_writer.h"
#include "platform/posix/registry_cache.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace vorn::platform {
namespace {

constexpr std::uint32_t kProfileAccess = kKeyRead | kKeyWow64_64Key;
constexpr std::string_view kProfiles = "SOFTWARE\\Kolvane\\VornPrint\\profiles";

const std::string kRegistry =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\Laser1]\r\n"
    "\"Machine\"=\"host1\"\r\n"
    "\"MainTray\"=dword:00010007\r\n"
    "\"Path\"=hex(2):25,00,54,00,00,00\r\n"
    "\"Forms\"=hex(7):41,00,00,00,00,00\r\n"
    "\"Empty\"=\"\"\r\n"
    "@=\"default\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\beta]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\Alpha]\r\n\r\n";

class SystemRegistry : public ::testing::Test {
 protected:
  void SetUp() override { test::writeRegistry(root_.path(), kRegistry); }

  std::unique_ptr<RegistryKey> open(std::string_view path) {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(systemRegistry().openKey(path, kProfileAccess, key), kErrorSuccess) << path;
    return key;
  }

  test::TempRoot root_;
};

struct QueryCase {
  const char* name;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
};

TEST_F(SystemRegistry, QueriesReturnTypeSizeAndAnsiData) {
  const std::vector<QueryCase> cases = {
      {"Machine", kRegSz, {'h', 'o', 's', 't', '1', 0}},
      {"machine", kRegSz, {'h', 'o', 's', 't', '1', 0}},
      {"MainTray", kRegDword, {7, 0, 1, 0}},
      {"Path", kRegExpandSz, {'%', 'T', 0}},
      {"Forms", kRegMultiSz, {'A', 0, 0}},
      {"Empty", kRegSz, {0}},
      {"", kRegSz, {'d', 'e', 'f', 'a', 'u', 'l', 't', 0}},
  };
  auto key = open("SOFTWARE\\Kolvane\\VornPrint\\profiles\\LASER1");
  ASSERT_TRUE(key);
  for (const QueryCase& c : cases) {
    std::array<std::uint8_t, 256> buffer{};
    std::uint32_t type = 99;
    std::uint32_t size = 0;
    ASSERT_EQ(key->queryValue(c.name, type, buffer, size), kErrorSuccess) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    ASSERT_EQ(size, c.data.size()) << c.name;
    EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), buffer.begin())) << c.name;
  }
}

TEST_F(SystemRegistry, SmallBufferGivesMoreDataWithTypeAndSizeButNoBytes) {
  auto key = open("SOFTWARE\\Kolvane\\VornPrint\\profiles\\Laser1");
  ASSERT_TRUE(key);
  std::array<std::uint8_t, 5> buffer{};
  buffer.fill(0xEE);
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_EQ(key->queryValue("Machine", type, buffer, size), kErrorMoreData);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(buffer[0], 0xEE);

  std::array<std::uint8_t, 6> exact{};
  EXPECT_EQ(key->queryValue("Machine", type, exact, size), kErrorSuccess);
  EXPECT_EQ(exact[5], 0);

  EXPECT_EQ(key->queryValue("Machine", type, {}, size), kErrorSuccess);  // size only
  EXPECT_EQ(size, 6u);
}

TEST_F(SystemRegistry, AbsentValueIsFileNotFound) {
  auto key = open("SOFTWARE\\Kolvane\\VornPrint\\profiles\\Laser1");
  ASSERT_TRUE(key);
  std::array<std::uint8_t, 8> buffer{};
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_EQ(key->queryValue("printerid", type, buffer, size), kErrorFileNotFound);
}

TEST_F(SystemRegistry, EnumeratesSubkeysInRegistryOrderWithStoredCase) {
  auto key = open(kProfiles);
  ASSERT_TRUE(key);
  std::vector<std::string> names;
  std::string name;
  std::uint32_t index = 0;
  while (key->enumSubkey(index, name) == kErrorSuccess) {
    names.push_back(name);
    ++index;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "Laser1"}));
  EXPECT_EQ(key->enumSubkey(100, name), kErrorNoMoreItems);
}

TEST_F(SystemRegistry, OpenResults) {
  struct Case {
    std::string path;
    std::uint32_t result;
  };
  const std::vector<Case> cases = {
      {"SOFTWARE", kErrorSuccess},
      {"software\\kolvane", kErrorSuccess},
      {"", kErrorSuccess},
      // An empty profile name leaves the backslash after "profiles": the profiles key itself.
      {std::string(kProfiles) + "\\", kErrorSuccess},
      {"SOFTWARE\\Nobody", kErrorFileNotFound},
      {"SOFTWARE\\\\Kolvane", kErrorFileNotFound},
      {"\\SOFTWARE", kErrorFileNotFound},
      {"SOFTWARE\\Kolvane\\VornPrint\\profiles\\Laser1\\deeper", kErrorFileNotFound},
  };
  for (const Case& c : cases) {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(systemRegistry().openKey(c.path, kProfileAccess, key), c.result) << c.path;
    EXPECT_EQ(key != nullptr, c.result == kErrorSuccess) << c.path;
  }
}

TEST_F(SystemRegistry, EmptyProfileNameReadsTheProfilesKey) {
  auto key = open(std::string(kProfiles) + "\\");
  ASSERT_TRUE(key);
  std::string name;
  EXPECT_EQ(key->enumSubkey(0, name), kErrorSuccess);
  EXPECT_EQ(name, "Alpha");
}

TEST_F(SystemRegistry, FileIsReadAtEachOpenAndOpenKeysKeepTheirSnapshot) {
  auto before = open("SOFTWARE\\Kolvane\\VornPrint\\profiles\\Laser1");
  ASSERT_TRUE(before);
  test::writeRegistry(root_.path(),
                      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\Laser1]\r\n"
                      "\"Machine\"=\"host2\"\r\n");
  std::array<std::uint8_t, 16> buffer{};
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  ASSERT_EQ(before->queryValue("Machine", type, buffer, size), kErrorSuccess);
  EXPECT_EQ(buffer[4], '1');
  auto after = open("SOFTWARE\\Kolvane\\VornPrint\\profiles\\Laser1");
  ASSERT_TRUE(after);
  ASSERT_EQ(after->queryValue("Machine", type, buffer, size), kErrorSuccess);
  EXPECT_EQ(buffer[4], '2');
}

// A registry of `keys` profiles, each about 250 bytes.
std::string largeRegistry(int keys, char machine) {
  std::string text = "REGEDIT4\r\n\r\n";
  for (int i = 0; i < keys; ++i) {
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\p" + std::to_string(i) + "]\r\n";
    text += "\"Machine\"=\"host" + std::string(1, machine) + "\"\r\n\"Online\"=\"ACCOUNTING\"\r\n";
    text += "\"User\"=\"PRTUSER\"\r\n\"Location\"=\"FLOOR2\"\r\n\"MainTray\"=dword:00000007\r\n";
    text += "\"loadarea\"=\"/srv/forms/with/a/longer/path/for/size/\"\r\n\r\n";
  }
  return text;
}

std::string machineOf(std::string_view profile) {
  std::unique_ptr<RegistryKey> key;
  if (systemRegistry().openKey(std::string(kProfiles) + "\\" + std::string(profile), kProfileAccess, key) !=
      kErrorSuccess)
    return "(no key)";
  std::array<std::uint8_t, 16> buffer{};
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (key->queryValue("Machine", type, buffer, size) != kErrorSuccess) return "(no value)";
  return std::string(reinterpret_cast<const char*>(buffer.data()));
}

TEST(RegistryFile, ALargeFileIsParsedOncePerVersionAndAnEditIsSeen) {
  test::TempRoot root;
  const std::string text = largeRegistry(6000, '1');
  ASSERT_GT(text.size(), std::size_t{1} << 20);
  test::writeRegistry(root.path(), text);
  const auto registryFile = root.path() / "registry.reg";
  // Written well before it is read, so its first version is settled.
  std::filesystem::last_write_time(registryFile, std::filesystem::last_write_time(registryFile) - std::chrono::seconds(10));

  const std::uint64_t parsesBefore = posix::registryParseCount();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(machineOf("p" + std::to_string(i * 5)), "host1");
  EXPECT_EQ(posix::registryParseCount() - parsesBefore, 1u);

  // The same size in the same file: the modification time tells.
  test::writeRegistry(root.path(), largeRegistry(6000, '2'));
  EXPECT_EQ(machineOf("p5999"), "host2");
  EXPECT_EQ(posix::registryParseCount() - parsesBefore, 2u);
}

TEST(RegistryFile, MissingFileMakesEveryOpenFileNotFound) {
  test::TempRoot root;
  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(systemRegistry().openKey("", kProfileAccess, key), kErrorFileNotFound);
  EXPECT_EQ(systemRegistry().openKey("SOFTWARE", kProfileAccess, key), kErrorFileNotFound);
}

TEST(RegistryFile, MalformedFileMakesEveryOpenBadDbAndSaysWhere) {
  test::TempRoot root;
  test::writeRegistry(root.path(),
                      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"
                      "\"a\"=\"fine\"\r\n\"b\"=\"unterminated\r\n");
  std::unique_ptr<RegistryKey> key;
  ::testing::internal::CaptureStderr();
  const std::uint32_t result = systemRegistry().openKey("SOFTWARE\\A", kProfileAccess, key);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, kErrorBadDb);
  EXPECT_FALSE(key);
  EXPECT_NE(err.find((root.path() / "registry.reg").string() + ":5: "), std::string::npos) << err;
}

TEST(RegistryFile, OverlongKeyIsToldOnceAndTheRestServed) {
  test::TempRoot root;
  test::writeRegistry(root.path(), "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\" +
                                       std::string(300, 'x') + "]\r\n\"a\"=\"b\"\r\n\r\n"
                                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n\"Machine\"=\"fine\"\r\n");
  ::testing::internal::CaptureStderr();
  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(systemRegistry().openKey("SOFTWARE\\A", kProfileAccess, key), kErrorSuccess);
  EXPECT_EQ(systemRegistry().openKey("SOFTWARE\\A", kProfileAccess, key), kErrorSuccess);
  const std::string err = ::testing::internal::GetCapturedStderr();
  const std::string warning = (root.path() / "registry.reg").string() + ":3: key name longer than 255 characters";
  EXPECT_NE(err.find(warning), std::string::npos) << err;
  EXPECT_EQ(err.find(warning), err.rfind(warning)) << err;
}

TEST(RegistryFile, UnreadableFileIsBadDb) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  test::TempRoot root;
  test::writeRegistry(root.path(), "REGEDIT4\r\n");
  std::filesystem::permissions(root.path() / "registry.reg", std::filesystem::perms::none);
  std::unique_ptr<RegistryKey> key;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(systemRegistry().openKey("", kProfileAccess, key), kErrorBadDb);
  ::testing::internal::GetCapturedStderr();
}

TEST(RegistryFile, WrittenTreeIsServedAsWritten) {
  test::TempRoot root;
  regfile::RegTree tree;
  tree.createKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\p1").setString("Port", "1234x");
  test::writeRegistry(root.path(), regfile::writeRegFile(tree, regfile::RegFileFormat::kVersion5Utf16));
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(systemRegistry().openKey("SOFTWARE\\Kolvane\\VornPrint\\profiles\\P1", kProfileAccess, key),
            kErrorSuccess);
  std::array<std::uint8_t, 16> buffer{};
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  ASSERT_EQ(key->queryValue("port", type, buffer, size), kErrorSuccess);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data())), "1234x");
}


// ---- Writes: the registry file changed in place, under the writers' lock ----

std::string fileText(const std::filesystem::path& root) {
  std::ifstream file(root / "registry.reg", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string utf16(std::string_view ascii) {
  std::string out = "\xFF\xFE";
  for (const char c : ascii) out += std::string{c, '\0'};
  return out;
}

constexpr std::uint32_t kWriteAccess = kKeyAllAccess | kKeyWow64_64Key;

TEST(RegistryWrites, AKeyCreatedAndChangedKeepsTheFileAndItsOtherKeys) {
  test::TempRoot root;
  const std::string other =
      "; written by hand\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\Laser1]\r\n"
      "\"Machine\"=\"host1\"\r\n\r\n";
  test::writeRegistry(root.path(), utf16("Windows Registry Editor Version 5.00\r\n\r\n" + other));

  std::unique_ptr<RegistryKey> key;
  std::uint32_t disposition = 0;
  ASSERT_EQ(systemRegistry().createKey(std::string(kProfiles) + "\\New", kWriteAccess, key, disposition),
            kErrorSuccess);
  EXPECT_EQ(disposition, kRegCreatedNewKey);
  const std::vector<std::uint8_t> dword{7, 0, 0, 0};
  const std::string machine("host2", 6);
  EXPECT_EQ(key->setValue("MainTray", kRegDword, dword), kErrorSuccess);
  EXPECT_EQ(key->setValue("Machine", kRegSz, std::span(reinterpret_cast<const std::uint8_t*>(machine.data()), 6)),
            kErrorSuccess);
  EXPECT_EQ(machineOf("New"), "(no value)");  // kept with the key until it is flushed
  EXPECT_EQ(key->deleteValue("Absent"), kErrorFileNotFound);
  ASSERT_EQ(key->flush(), kErrorSuccess);
  EXPECT_EQ(machineOf("New"), "host2");

  const std::string text = fileText(root.path());
  EXPECT_TRUE(text.starts_with(utf16("Windows Registry Editor Version 5.00\r\n\r\n" + other).substr(0, 60)));
  EXPECT_NE(text.find(utf16(other).substr(2)), std::string::npos) << "the other key changed";
  EXPECT_NE(text.find(utf16("\"MainTray\"=dword:00000007\r\n").substr(2)), std::string::npos);

  std::unique_ptr<RegistryKey> again;
  ASSERT_EQ(systemRegistry().createKey(std::string(kProfiles) + "\\NEW", kWriteAccess, again, disposition),
            kErrorSuccess);
  EXPECT_EQ(disposition, kRegOpenedExistingKey);
}

TEST(RegistryWrites, RefusalsLeaveTheFileAsItWas) {
  test::TempRoot root;
  test::writeRegistry(root.path(), kRegistry);
  std::unique_ptr<RegistryKey> readOnly;
  ASSERT_EQ(systemRegistry().openKey(std::string(kProfiles) + "\\Laser1", kProfileAccess, readOnly), kErrorSuccess);
  EXPECT_EQ(readOnly->deleteValue("Machine"), kErrorAccessDenied);

  // A key another writer removed before this one's changes reached the file.
  std::unique_ptr<RegistryKey> writer;
  ASSERT_EQ(systemRegistry().openKey(std::string(kProfiles) + "\\Laser1", kWriteAccess, writer), kErrorSuccess);
  EXPECT_EQ(writer->deleteValue("Machine"), kErrorSuccess);
  std::unique_ptr<RegistryKey> profiles;
  ASSERT_EQ(systemRegistry().openKey(kProfiles, kWriteAccess, profiles), kErrorSuccess);
  EXPECT_EQ(profiles->deleteTree("LASER1"), kErrorSuccess);
  EXPECT_EQ(profiles->deleteTree("LASER1"), kErrorFileNotFound);
  ASSERT_EQ(profiles->flush(), kErrorSuccess);
  EXPECT_EQ(writer->flush(), kErrorKeyDeleted);
  EXPECT_EQ(machineOf("Laser1"), "(no key)");

  // A malformed file is never written over.
  const std::string malformed = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\S]\r\n\"a\"=\"unterminated\r\n";
  test::writeRegistry(root.path(), malformed);
  std::unique_ptr<RegistryKey> key;
  std::uint32_t disposition = 0;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(systemRegistry().createKey("SOFTWARE\\X", kWriteAccess, key, disposition), kErrorBadDb);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(fileText(root.path()), malformed);
}

}  // namespace
}  // namespace vorn::platform
