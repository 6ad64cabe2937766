#include "tests/e2e/agent/agent_scenario.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace vorn::e2e {
namespace {

std::string regString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

void appendKey(std::string& reg, const std::string& path, const RegistryValues& values) {
  reg += "\n[HKEY_LOCAL_MACHINE\\" + path + "]\n";
  for (const auto& [name, text] : values.texts) reg += regString(name) + "=" + regString(text) + "\n";
  for (const auto& [name, value] : values.dwords) {
    std::array<char, 16> hex{};
    std::snprintf(hex.data(), hex.size(), "%08x", value);
    reg += regString(name) + "=dword:" + hex.data() + "\n";
  }
}

}  // namespace

RegistryValues pipeProfile(int port, const std::string& printerName) {
  RegistryValues values;
  values.texts = {
      {"Machine", "localhost"}, {"CommType", "pipe"},  {"Port", std::to_string(port)},
      {"Online", "ONL1"},       {"User", "prtuser"},   {"Location", "floor2"},
      {"printerid", "LASER1"},  {"printername", printerName},
  };
  return values;
}

AgentScenario::AgentScenario() = default;

void AgentScenario::writeRegistry(const std::string& profileName, const RegistryValues& profile,
                                  const std::string& pdfPrinter) {
  std::string reg = "REGEDIT4\n";
  appendKey(reg, "SOFTWARE\\Kolvane\\VornPrint\\profiles\\" + profileName, profile);
  if (!pdfPrinter.empty()) {
    const auto folder = root() / pdfPrinter;
    std::filesystem::create_directories(folder);
    RegistryValues printer;
    printer.texts["Port"] = folder.string();
    appendKey(reg, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + pdfPrinter, printer);
  }
  test::writeRegistry(root(), reg);
}

test::ChildProcess& AgentScenario::startHost(const std::vector<std::string>& args) {
  host_ = std::make_unique<test::ChildProcess>(test::programPath("vornhost"), args);
  if (!waitForHostOutput("vornhost: listening on"))
    throw std::runtime_error("vornhost did not listen: " + host_->standardError());
  return *host_;
}

test::ChildProcess& AgentScenario::startAgent(const std::string& profileName) {
  agent_ = std::make_unique<test::ChildProcess>(test::programPath("spoolagent"),
                                                std::vector<std::string>{"/profile=\"" + profileName + "\""});
  return *agent_;
}

test::ProgramResult AgentScenario::runAgent(const std::string& profileName, std::chrono::milliseconds timeout) {
  return test::runProgram(test::programPath("spoolagent"), {"/profile=\"" + profileName + "\""}, {}, timeout);
}

bool AgentScenario::waitForHostOutput(const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (host_->standardOutput().find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::vector<std::filesystem::path> AgentScenario::filesIn(const std::filesystem::path& relative) const {
  std::vector<std::filesystem::path> files;
  if (!std::filesystem::exists(root() / relative)) return files;
  for (const auto& entry : std::filesystem::directory_iterator(root() / relative)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::filesystem::path AgentScenario::writeFile(const std::string& relative, const std::string& bytes) const {
  const auto path = root() / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string eventText(const test::LoggedEvent& event) {
  std::string text;
  for (std::size_t i = 1; i < 3 && i < event.strings.size(); ++i) {
    if (i > 1) text += " | ";
    text += event.strings[i].value_or("");
  }
  return text;
}

std::string commandOutput(const std::string& command) {
  std::string output;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) throw std::runtime_error("cannot run: " + command);
  std::array<char, 4096> buffer{};
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) output.append(buffer.data(), n);
  return output;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace vorn::e2e
