// The registry's first read, as an agent meets it at its start: the whole
// registry file read and parsed by the first key open of the process.
//
//   registry_bench generate ROOT MEGABYTES profiles|values|utf16
//     writes ROOT/registry.reg: printer profiles like the sample's (UTF-8 or
//     UTF-16LE), or one key holding everything as values; prints how many
//   registry_bench open ROOT profiles|values|utf16 COUNT
//     opens the key a profile would open, once, and reads a value of it, as
//     an agent reads its profile; prints the time of the open (the whole
//     file read and checked), the time of both, the file's size and how many
//     profiles (or values) the registry then holds: it fails unless that is
//     the COUNT written
//
// bench/registry/run runs it in fresh processes and reports the medians.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/registry.h"

namespace {

constexpr std::string_view kProfiles = "SOFTWARE\\Kolvane\\VornPrint\\profiles";
constexpr std::uint32_t kAccess = vorn::platform::kKeyRead | vorn::platform::kKeyWow64_64Key;

std::string profileText(long i) {
  const std::string n = std::to_string(i);
  return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\LASER" + n +
         "]\r\n\"Active\"=\"yes\"\r\n\"Machine\"=\"localhost\"\r\n\"CommType\"=\"pipe\"\r\n\"Port\"=\"" +
         std::to_string(5000 + i % 1000) +
         "\"\r\n\"Online\"=\"ACCT\"\r\n\"User\"=\"PRTLASER\"\r\n\"Location\"=\"FLOOR2\"\r\n\"printerid\"=\"LASER" + n +
         "\"\r\n\"printername\"=\"VornPDF\"\r\n\"MainForm\"=\"STD\"\r\n\"AltForm\"=\"WIDE\"\r\n"
         "\"MainTray\"=dword:00000007\r\n\"AltTray\"=dword:00000002\r\n\"TwoSide\"=\"yes\"\r\n"
         "\"loadarea\"=\"/srv/forms/\"\r\n\"Notes\"=hex(7):41,00,42,00,00,00,43,00,00,00,00,00\r\n\r\n";
}

std::string valueText(long i) { return "\"Value" + std::to_string(i) + "\"=\"the text of one value\"\r\n"; }

int generate(const std::filesystem::path& root, double megabytes, std::string_view shape) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  const double each = static_cast<double>(shape == "values" ? valueText(500000).size() : profileText(500000).size());
  const long count = static_cast<long>(megabytes * 1e6 / each);
  if (shape == "values") text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\BIG]\r\n";
  for (long i = 0; i < count; ++i) text += shape == "values" ? valueText(i) : profileText(i);
  std::ofstream file(root / "registry.reg", std::ios::binary | std::ios::trunc);
  if (shape == "utf16") {
    file.write("\xFF\xFE", 2);
    for (const char c : text) file.put(c).put('\0');
  } else {
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  std::printf("%ld\n", count);
  return file ? 0 : 1;
}

// Counts what the registry now holds, to check that the work was all done.
long countItems(std::string_view shape) {
  using namespace vorn::platform;
  std::unique_ptr<RegistryKey> key;
  if (shape == "values") {
    if (systemRegistry().openKey(std::string(kProfiles) + "\\BIG", kAccess, key) != kErrorSuccess) return -1;
    long count = 0;
    std::uint32_t type = 0, size = 0;
    while (key->queryValue("Value" + std::to_string(count), type, {}, size) == kErrorSuccess) ++count;
    return count;
  }
  if (systemRegistry().openKey(kProfiles, kAccess, key) != kErrorSuccess) return -1;
  long count = 0;
  std::string name;
  while (key->enumSubkey(static_cast<std::uint32_t>(count), name) == kErrorSuccess) ++count;
  return count;
}

int open(const std::filesystem::path& root, std::string_view shape, long expected) {
  ::setenv("VORNPRINT_ROOT", root.c_str(), 1);
  const auto fileSize = std::filesystem::file_size(root / "registry.reg");
  const std::string path = std::string(kProfiles) + (shape == "values" ? "\\BIG" : "\\LASER0");
  const auto start = std::chrono::steady_clock::now();
  std::unique_ptr<vorn::platform::RegistryKey> key;
  std::uint32_t result = vorn::platform::systemRegistry().openKey(path, kAccess, key);
  const auto opened = std::chrono::steady_clock::now();
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (result == vorn::platform::kErrorSuccess) result = key->queryValue(shape == "values" ? "Value0" : "Machine", type, {}, size);
  const auto stop = std::chrono::steady_clock::now();
  if (result != vorn::platform::kErrorSuccess) {
    std::fprintf(stderr, "registry_bench: reading %s failed with %u\n", path.c_str(), result);
    return 1;
  }
  const long found = countItems(shape);
  if (found != expected) {
    std::fprintf(stderr, "registry_bench: %ld items read, %ld written\n", found, expected);
    return 1;
  }
  std::printf("%.6f %.6f %ju %ld\n", std::chrono::duration<double>(opened - start).count(),
              std::chrono::duration<double>(stop - start).count(), static_cast<std::uintmax_t>(fileSize), found);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "generate" && argc == 5) return generate(argv[2], std::atof(argv[3]), argv[4]);
  if (command == "open" && argc == 5) return open(argv[2], argv[3], std::atol(argv[4]));
  std::fprintf(stderr, "usage: registry_bench generate ROOT MEGABYTES SHAPE | open ROOT SHAPE COUNT\n");
  return 2;
}
