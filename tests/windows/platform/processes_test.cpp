// Child processes on Windows, with platform_child as the child.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/error.h"
#include "platform/event.h"
#include "platform/process.h"
#include "platform/wait.h"
#include "tests/support/test_support.h"
#include "tests/windows/platform/child_path.h"

namespace vorn::platform {
namespace {

constexpr std::uint32_t kPatienceMs = 20000;

// This process's environment block with `extra` ("NAME=value") added first.
std::vector<char> environmentWith(std::initializer_list<std::string> extra) {
  std::vector<char> block;
  for (const auto& entry : extra) block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
  const std::vector<char> own = environmentStrings();
  block.insert(block.end(), own.begin(), own.end());
  if (own.size() == 1) block.push_back('\0');
  return block;
}

ProcessStart startOf(std::string_view commandLine, std::span<const char> environment = {},
                     std::string_view folder = {}, std::uint32_t flags = 0, Event* event = nullptr) {
  ProcessStart start;
  start.commandLine = commandLine;
  start.environment = environment;
  start.currentDirectory = folder;
  start.creationFlags = flags;
  start.inheritedEvent = event;
  return start;
}

std::string childCommand(std::string_view arguments) { return "\"" + test::childProgram() + "\" " + std::string(arguments); }

std::uint32_t runToEnd(ProcessHandle& process) {
  Waitable* objects[] = {&process};
  EXPECT_EQ(waitForMultipleObjects(objects, kPatienceMs, false), kWaitObject0);
  std::uint32_t code = kStillActive;
  EXPECT_TRUE(process.exitCode(code));
  return code;
}

TEST(Win32Processes, ChildSignalsTheOneEventItInherits) {
  std::unique_ptr<Event> event;
  ASSERT_EQ(createEvent(false, false, true, event), 0u);
  const std::vector<char> environment =
      environmentWith({"VORN_EVENT=" + std::to_string(event->inheritedHandleValue())});
  const std::string command = childCommand("signal");
  std::unique_ptr<ProcessHandle> child;
  ASSERT_EQ(createProcess(startOf(command, environment, {}, kDetachedProcess, event.get()), child), 0u);
  EXPECT_NE(child->processId(), 0u);
  Waitable* objects[] = {event.get()};
  EXPECT_EQ(waitForMultipleObjects(objects, kPatienceMs, false), kWaitObject0);
  EXPECT_EQ(runToEnd(*child), 0u);

  // Made not inheritable, the event stays here: the child finds no event.
  ASSERT_TRUE(event->setInheritable(false));
  ASSERT_EQ(createProcess(startOf(command, environment, {}, kDetachedProcess, event.get()), child), 0u);
  EXPECT_EQ(runToEnd(*child), 2u);
}

TEST(Win32Processes, ChildSeesItsCommandLineTailAndFolderUntouched) {
  const std::string tail = "/profile=\"Laser 1\"  x";
  const std::filesystem::path folder = test::makeTemporaryFolder("vorn-child-");
  const std::vector<char> environment =
      environmentWith({"VORN_EXPECTED_TAIL=tail " + tail, "VORN_EXPECTED_FOLDER=" + folder.string()});
  std::unique_ptr<ProcessHandle> child;
  ASSERT_EQ(createProcess(startOf(childCommand("tail " + tail), environment), child), 0u);
  EXPECT_EQ(runToEnd(*child), 0u);
  ASSERT_EQ(createProcess(startOf(childCommand("folder"), environment, folder.string()), child), 0u);
  EXPECT_EQ(runToEnd(*child), 0u);
  std::filesystem::remove_all(folder);
}

TEST(Win32Processes, TerminatedChildEndsWithTheGivenCode) {
  std::unique_ptr<ProcessHandle> child;
  ASSERT_EQ(createProcess(startOf(childCommand("sleep")), child), 0u);
  std::uint32_t code = 0;
  ASSERT_TRUE(child->exitCode(code));
  EXPECT_EQ(code, kStillActive);
  ASSERT_TRUE(child->terminate(7));
  EXPECT_EQ(runToEnd(*child), 7u);
}

TEST(Win32Processes, MissingProgramsAndBadBlocksAreRefused) {
  std::unique_ptr<ProcessHandle> child;
  EXPECT_EQ(createProcess(startOf("vorn-no-such-program /x"), child), kErrorFileNotFound);
  EXPECT_EQ(lastError(), kErrorFileNotFound);
  const std::vector<char> unterminated = {'A', '=', '1'};
  EXPECT_EQ(createProcess(startOf(childCommand("tail"), unterminated), child), kErrorInvalidParameter);
  EXPECT_EQ(child, nullptr);
  EXPECT_EQ(inheritedEvent(0), nullptr);
  EXPECT_EQ(inheritedEvent(123456), nullptr);
}

}  // namespace
}  // namespace vorn::platform
