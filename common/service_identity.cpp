#include "common/service_identity.h"

#include "platform/process.h"

namespace vorn {

std::string serviceProgramFileName() { return platform::programFileName(kServiceProgram); }
std::string agentProgramFileName() { return platform::programFileName(kAgentProgram); }

}  // namespace vorn
