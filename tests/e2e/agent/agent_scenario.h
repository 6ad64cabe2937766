// End-to-end scenarios: spoolagent and vornhost run as real processes in a
// temporary platform root, linked through the root's pipe socket (or TCP).
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace vorn::e2e {

// Registry values of one key: text values, and DWORDs written as dword:.
struct RegistryValues {
  std::map<std::string, std::string> texts;
  std::map<std::string, std::uint32_t> dwords;
};

// A profile that attaches through the pipe socket termlink-<port> of the root.
RegistryValues pipeProfile(int port, const std::string& printerName);

class AgentScenario {
 public:
  AgentScenario();

  const std::filesystem::path& root() const { return root_.path(); }

  // Writes registry.reg with the profile `name` and, optionally, a built-in
  // PDF printer whose output folder is <root>/<printer>.
  void writeRegistry(const std::string& profileName, const RegistryValues& profile,
                     const std::string& pdfPrinter = "");

  // Starts vornhost with `args` and waits until it listens.
  test::ChildProcess& startHost(const std::vector<std::string>& args);

  // Starts spoolagent for `profileName` (as the service passes it).
  test::ChildProcess& startAgent(const std::string& profileName);

  // Runs spoolagent to its end.
  test::ProgramResult runAgent(const std::string& profileName,
                               std::chrono::milliseconds timeout = std::chrono::seconds(30));

  // Waits until the host's output holds `text`; false after `timeout`.
  bool waitForHostOutput(const std::string& text,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));

  std::vector<test::LoggedEvent> events() const { return test::readEvents(root()); }

  // Files in a folder under the root, sorted by name.
  std::vector<std::filesystem::path> filesIn(const std::filesystem::path& relative) const;

  // A file under the root holding `bytes`.
  std::filesystem::path writeFile(const std::string& relative, const std::string& bytes) const;

 private:
  test::TempRoot root_;
  std::unique_ptr<test::ChildProcess> host_;
  std::unique_ptr<test::ChildProcess> agent_;
};

// The text of an event's strings 2 and 3 ("" for null), for readable assertions.
std::string eventText(const test::LoggedEvent& event);

// Runs a command line through the shell and returns its standard output.
std::string commandOutput(const std::string& command);

// A whole file's bytes.
std::string readFile(const std::filesystem::path& path);

}  // namespace vorn::e2e
