#include "profiles/profile_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "agent/profile/printer_profile.h"
#include "platform/error.h"
#include "tests/fakes/fake_registry.h"

namespace vorn {
namespace {

class FakeMachine final : public CheckEnvironment {
 public:
  std::uint32_t openPrinter(std::string_view name) override {
    return printers.contains(std::string(name)) ? platform::kErrorSuccess : platform::kErrorInvalidPrinterName;
  }
  std::uint32_t probeFolder(std::string_view path, platform::FolderUse use) override {
    const auto it = folders.find(std::string(path));
    if (it == folders.end()) return platform::kErrorPathNotFound;
    return use == platform::FolderUse::write && !it->second ? platform::kErrorAccessDenied : platform::kErrorSuccess;
  }
  bool namesThisMachine(std::string_view machine) override { return machine == "localhost"; }

  std::set<std::string> printers = {"VornPDF"};
  std::map<std::string, bool> folders = {{"/srv/forms/", false}, {"/srv/out/", true}, {"/srv/ro/", false}};
};

std::string key(std::string_view name) { return ProfileKeyPath(name); }

// A profile that starts and prints as its values say.
void writeGood(fakes::FakeRegistry& registry, const std::string& name) {
  const std::string k = key(name);
  for (const auto& [value, text] : std::map<std::string, std::string>{
           {"Active", "yes"}, {"Machine", "localhost"}, {"Port", "5001"}, {"Online", "ACCT"}, {"User", "PRT"},
           {"Location", "F2"}, {"printerid", name}, {"printername", "VornPDF"}, {"loadarea", "/srv/forms/"},
           {"PrintToFile", "yes"}, {"PTFPath", "/srv/out/x-"}}) {
    registry.setString(k, value, text);
  }
  registry.setDword(k, "PTFOpt", 2);
}

struct CheckCase {
  const char* label;
  std::function<void(fakes::FakeRegistry&)> change;  // of the good profile P (and others)
  std::vector<std::string> lines;  // each in the output, in this order
  int status;
};

TEST(ProfileCheck, FindingsNameTheProfileAndTheValue) {
  const std::vector<CheckCase> cases = {
      {"a good profile", [](auto&) {}, {"1 profile checked: none would fail to start"}, 0},
      {"a required text missing",
       [](auto& r) { r.state().keys[key("P")].erase("Machine"); },
       {"P: error: Machine is missing: the agent ends with \"registry info missing\"",
        "1 profile checked: 1 would fail to start"},
       1},
      {"a required text too long for the agent",
       [](auto& r) { r.setString(key("P"), "printername", std::string(104, 'p')); },
       {"P: error: printername has 104 characters, the agent takes at most 103"}, 1},
      {"a required text stored as a number",
       [](auto& r) { r.setDword(key("P"), "User", 1); }, {"P: error: User is not a text: the agent ends"}, 1},
      {"Active of another case",
       [](auto& r) { r.setString(key("P"), "Active", "Yes"); },
       {"P: warning: Active is \"Yes\", not exactly \"yes\": the service does not start this profile",
        "none would fail to start"},
       0},
      {"a printer the machine lacks",
       [](auto& r) { r.setString(key("P"), "printername", "Nowhere"); },
       {"P: error: printername \"Nowhere\" is not a printer of this machine (1801)"}, 1},
      {"direct to disk needs no printer",
       [](auto& r) {
         r.setString(key("P"), "printername", "Nowhere");
         r.setString(key("P"), "directtodisk", "yes");
       },
       {"none would fail to start"}, 0},
      {"TCP without a port",
       [](auto& r) {
         r.setString(key("P"), "CommType", "socket");
         r.setString(key("P"), "Port", "");
       },
       {"P: error: Port 0 is not a port number (1 to 65535): the agent cannot attach by TCP"}, 1},
      {"a port with more than digits",
       [](auto& r) { r.setString(key("P"), "Port", "5001x"); }, {"P: warning: Port \"5001x\" is read as 5001"}, 0},
      {"a flag's keyword in another case",
       [](auto& r) { r.setString(key("P"), "CommType", "Socket"); },
       {"P: warning: CommType is \"Socket\", not exactly \"socket\": the local pipe is used"}, 0},
      {"the pipe to another machine",
       [](auto& r) { r.setString(key("P"), "Machine", "host9"); },
       {"P: error: Machine \"host9\" is not this machine, which the local pipe reaches only"}, 1},
      {"numbers the agent reads otherwise",
       [](auto& r) {
         r.setString(key("P"), "MainTray", "7");
         r.setDword(key("P"), "AltTray", 0x10002);
         r.setDword(key("P"), "PTFOpt", 9);
       },
       {"P: warning: MainTray is not a REG_DWORD number: read as 0",
        "P: warning: AltTray is 65538: the agent takes its low 16 bits, 2",
        "P: warning: PTFOpt 9 is not 0 to 7: files are named as with 0"},
       0},
      {"folders missing, read-only or relative",
       [](auto& r) {
         r.setString(key("P"), "loadarea", "/srv/missing/");
         r.setString(key("P"), "PTFPath", "/srv/ro/x-");
       },
       {"P: warning: loadarea \"/srv/missing/\" does not exist: images and macros cannot be loaded",
        "P: warning: PTFPath \"/srv/ro/x-\": the folder /srv/ro/ is not writable by this user"},
       0},
      {"a relative output prefix",
       [](auto& r) { r.setString(key("P"), "PTFPath", "out\\x-"); },
       {"P: warning: PTFPath \"out\\x-\" is relative: it is taken from the agent's working folder"}, 0},
      {"two active profiles as one printer",
       [](auto& r) {
         writeGood(r, "Q");
         r.setString(key("Q"), "printerid", "P");
       },
       {"P: error: printerid \"P\" is also the printerid of active Q", "Q: error: printerid \"P\" is also",
        "2 profiles checked: 2 would fail to start"},
       1},
      {"a name the service skips",
       [](auto& r) { writeGood(r, "quo\"te"); },
       {"quo\"te: error: the service never starts it: its name contains a double quote"}, 1},
  };
  for (const CheckCase& c : cases) {
    fakes::FakeRegistry registry;
    registry.addKey(kProfilesKeyPath);
    writeGood(registry, "P");
    c.change(registry);
    FakeMachine machine;
    ToolOutput output;
    EXPECT_EQ(checkProfiles(registry, machine, {}, output), c.status) << c.label << "\n" << output.out;
    std::size_t from = 0;
    for (const std::string& line : c.lines) {
      const std::size_t at = output.out.find(line, from);
      EXPECT_NE(at, std::string::npos) << c.label << ": no \"" << line << "\" in\n" << output.out;
      if (at != std::string::npos) from = at + line.size();
    }
  }
}

TEST(ProfileCheck, NamedProfilesOnlyAndEachMustExist) {
  fakes::FakeRegistry registry;
  registry.addKey(kProfilesKeyPath);
  writeGood(registry, "P");
  writeGood(registry, "Q");
  registry.state().keys[key("Q")].erase("User");
  FakeMachine machine;
  ToolOutput output;
  EXPECT_EQ(checkProfiles(registry, machine, {"p"}, output), 0) << output.out;
  EXPECT_EQ(output.out, "1 profile checked: none would fail to start\n");
  ToolOutput missing;
  EXPECT_EQ(checkProfiles(registry, machine, {"P", "R"}, missing), 1);
  EXPECT_EQ(missing.err, "VornPrintProfiles: no profile \"R\"\n");
}

}  // namespace
}  // namespace vorn
