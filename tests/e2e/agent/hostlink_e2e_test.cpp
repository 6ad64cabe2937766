// The agent attached to vornhost: the attach request it sends, and how the
// host's answers and terminations end it.
#include <gtest/gtest.h>

#include "platform/socket.h"
#include "tests/e2e/agent/agent_scenario.h"

namespace vorn::e2e {
namespace {

using namespace std::chrono_literals;

TEST(AgentHostLink, AttachRequestCarriesTheProfile) {
  AgentScenario scenario;
  auto profile = pipeProfile(11, "VornPDF");
  profile.texts["User"] = "u\"1";
  profile.texts["MainForm"] = "AB";
  profile.texts["AltForm"] = "WXYZ1";
  profile.texts["Restrict"] = "yes";
  profile.texts["TwoTray"] = "yes";
  profile.texts["Direct"] = "yes";
  scenario.writeRegistry("laser1", profile, "VornPDF");
  auto& host = scenario.startHost({"--pipe", "11", "--terminate", "1"});

  const auto run = scenario.runAgent("laser1");
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_TRUE(host.wait(10s));
  const std::string out = host.standardOutput();
  EXPECT_NE(out.find("attach connect-string=Profile=\"laser1\",Server=\"localhost\",CommType=\"pipe\","
                     "Online=\"ONL1\",Client=\"u\"\"1\",Location=\"floor2\",Direct=\"yes\",Port=\"11\"\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("attach arg1=1\nattach arg2=3\nattach arg3=0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("attach printer-id=LASER1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("attach device-flags=11\n"), std::string::npos) << out;  // 2 + Restrict 8 + TwoTray 1
  EXPECT_NE(out.find("attach forms=[AB  WXYZ]\n"), std::string::npos) << out;
}

TEST(AgentHostLink, AttachesOverTcpToo) {
  AgentScenario scenario;
  auto& host = scenario.startHost({"--port", "0", "--terminate", "1"});
  const std::string out = host.standardOutput();
  const auto colon = out.find(':', out.find("listening on"));
  const int port = std::stoi(out.substr(colon + 1));

  auto profile = pipeProfile(port, "VornPDF");
  profile.texts["CommType"] = "socket";
  scenario.writeRegistry("laser1", profile, "VornPDF");
  EXPECT_EQ(scenario.runAgent("laser1").exitCode, 0);
  ASSERT_TRUE(host.wait(10s));
  EXPECT_NE(host.standardOutput().find("CommType=\"socket\""), std::string::npos);
}

struct EndCase {
  const char* name;
  std::vector<std::string> hostArgs;
  const char* eventType;  // "" for no event
  const char* eventText;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class AgentEndsTest : public testing::TestWithParam<EndCase> {};

TEST_P(AgentEndsTest, WritesItsEventAndExitsZero) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(12, "VornPDF"), "VornPDF");
  std::vector<std::string> args = {"--pipe", "12"};
  args.insert(args.end(), GetParam().hostArgs.begin(), GetParam().hostArgs.end());
  auto& host = scenario.startHost(args);

  const auto run = scenario.runAgent("laser1");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(host.wait(10s));

  const auto events = scenario.events();
  if (std::string(GetParam().eventType).empty()) {
    EXPECT_TRUE(events.empty());
    return;
  }
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, GetParam().eventType);
  EXPECT_EQ(events[0].strings[1], "laser1");
  EXPECT_EQ(events[0].strings[2], GetParam().eventText);
}

INSTANTIATE_TEST_SUITE_P(
    HostAnswers, AgentEndsTest,
    testing::Values(
        EndCase{"ShutDown", {"--terminate", "2"}, "information",
                "terminating - the online application has been shut down."},
        EndCase{"AdministratorTerminated", {"--terminate", "3"}, "error",
                "terminating - an administrator has terminated this device."},
        EndCase{"InvalidMessage", {"--terminate", "7,255"}, "error",
                "terminating - an invalid message was received: 7, ff"},
        EndCase{"Silent", {"--terminate", "1,5"}, "", ""},
        EndCase{"UserRejected", {"--reject", "72"}, "error",
                "terminating - Attach request rejected - 'User' name not known"},
        EndCase{"RejectedByUser", {"--reject-user", "prtuser"}, "error",
                "terminating - Attach request rejected - 'User' name not known"},
        EndCase{"UnknownCode", {"--reject", "3"}, "error",
                "terminating - Attach request rejected - Unknown error code 3"},
        EndCase{"RejectedSilently", {"--reject", "147"}, "", ""}),
    [](const testing::TestParamInfo<EndCase>& info) { return info.param.name; });

// A start-up that fails writes exactly one event, also when the link cannot be made.
std::string failedAttach(const std::string& hresult) {
  return "laser1 | terminating - Attach request rejected - Unknown TCP/IP communications error (HResult=" + hresult +
         ", Unknown or new error, Facility=FACILITY_WINDOWS)";
}

std::vector<std::string> eventTexts(const AgentScenario& scenario) {
  std::vector<std::string> texts;
  for (const auto& event : scenario.events()) texts.push_back(eventText(event));
  return texts;
}

TEST(AgentHostLink, NoHostListeningEndsWithOneEvent) {
  AgentScenario scenario;
  auto profile = pipeProfile(1, "VornPDF");  // TCP port 1 on this machine: refused
  profile.texts["CommType"] = "socket";
  scenario.writeRegistry("laser1", profile, "VornPDF");
  const auto run = scenario.runAgent("laser1");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(eventTexts(scenario), std::vector<std::string>{failedAttach("8008274d")});
}

// The 60-second attach time-out runs on the platform's time scale: 60 ms here.
TEST(AgentHostLink, AHostThatNeverAnswersEndsTheAttachLikeAnyFailedOne) {
  AgentScenario scenario;
  scenario.writeRegistry("laser1", pipeProfile(13, "VornPDF"), "VornPDF");
  std::unique_ptr<platform::StreamListener> silentHost;  // takes the connection, never answers
  ASSERT_EQ(platform::listenLocal("termlink-13", silentHost), 0u);
  const auto run = test::runProgram(test::programPath("spoolagent"), {"/profile=\"laser1\""},
                                    {{"VORNPRINT_TIME_SCALE", "1000"}}, 20s);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(eventTexts(scenario), std::vector<std::string>{failedAttach("8008274c")});
}

TEST(AgentHostLink, PipeToAnotherMachineIsRejected) {
  AgentScenario scenario;
  auto profile = pipeProfile(1, "VornPDF");
  profile.texts["Machine"] = "hostb.example";
  scenario.writeRegistry("laser1", profile, "VornPDF");
  const auto run = scenario.runAgent("laser1");
  EXPECT_EQ(run.exitCode, 0);
  const auto events = scenario.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].strings[2],
            "terminating - Attach request rejected - Could not find or open the \"named pipe\" used for this "
            "connection");
}

}  // namespace
}  // namespace vorn::e2e
