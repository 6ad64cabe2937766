// The real 60-second restart, without the time scale (label "slow").
#include <gtest/gtest.h>

#include "tests/e2e/service/service_scenario.h"

namespace vorn::e2e {
namespace {

TEST(ServiceSlowE2e, EndedAgentIsRestartedAfterSixtySeconds) {
  ServiceScenario scenario(0);
  expectRestart(scenario, std::chrono::seconds(60));
}

}  // namespace
}  // namespace vorn::e2e
