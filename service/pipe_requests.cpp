#include "service/pipe_requests.h"

#include <memory>
#include <string>

#include "common/pipe_protocol.h"
#include "common/profile_key_names.h"
#include "common/service_errors.h"
#include "common/service_identity.h"
#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "service/agent_supervisor.h"
#include "service/service_event_log.h"
#include "service/subservice_table.h"

namespace vorn {
namespace {

constexpr std::uint32_t kProfileAccess = platform::kKeyRead | platform::kKeyWow64_64Key;
// The longest name a show request may carry, and how far it is searched for its zero.
constexpr std::size_t kShowNameMax = 255;
constexpr std::size_t kShowNameSearch = 256;
// A record is written only while its start plus this stays within the buffer.
constexpr std::size_t kShowRecordRoom = 280;

using Buffer = std::span<std::uint8_t>;

std::size_t Show(PipeRequestContext& context, Buffer buffer, std::span<const std::uint8_t> request) {
  // The name's length: up to its zero within 256 bytes, else 256; a name
  // whose zero was not received makes the length wrong.
  std::size_t count = kShowNameSearch;
  if (const auto name = zeroTerminatedText(request, kShowRequestNameOffset, kShowNameSearch)) {
    count = name->size();
  } else if (request.size() < kShowRequestNameOffset + kShowNameSearch) {
    return encodeErrorReply(buffer, SVC_ERROR_BAD_REQUEST, "Wrong message length");
  }
  if (request.size() != count + kShowRequestNameOffset + 1)
    return encodeErrorReply(buffer, SVC_ERROR_BAD_REQUEST, "Wrong message length");
  if (count > kShowNameMax) return encodeErrorReply(buffer, SVC_ERROR_BAD_REQUEST, "Invalid name");

  const auto selector = static_cast<std::int32_t>(*readLe32(request, 12));
  std::size_t end = encodeListHeader(buffer, 0);
  if (selector != SHOW_ALL) return end;
  std::uint32_t records = 0;
  context.agents.withTable([&](const SubserviceTable& table) {
    for (int slot = 0; slot < kSubserviceSlots; ++slot) {
      const SubserviceEntry& entry = table[slot];
      if (!entry.used()) continue;
      if (end + kShowRecordRoom > buffer.size()) break;
      const std::size_t next = encodeShowRecord(buffer, end, entry.status, entry.processId, entry.profileName);
      if (next == 0) break;
      end = next;
      ++records;
    }
  });
  writeLe32(buffer, 8, records);
  return end;
}

// The profile's key exists. An empty name or one with a backslash would
// open the profiles key itself or a key below a profile: no such profile.
// Nor is a name with a double quote, which its agent could never be given.
bool profileExists(platform::Registry& registry, std::string_view name) {
  if (name.empty() || name.find('\\') != std::string_view::npos) return false;
  if (profileKeyFault(name, platform::utf8FromAnsi(name)) == ProfileKeyFault::doubleQuote) return false;
  std::unique_ptr<platform::RegistryKey> key;
  return registry.openKey(std::string(kProfilesKey) + "\\" + std::string(name), kProfileAccess, key) ==
         platform::kErrorSuccess;
}

std::size_t Run(PipeRequestContext& context, Buffer buffer, std::string_view name) {
  if (name.size() > kProfileNameMax) return encodeErrorReply(buffer, SVC_ERROR_NAME_TOO_LONG, "name too long");
  if (!profileExists(context.registry, name))
    return encodeErrorReply(buffer, SVC_ERROR_BAD_REQUEST, "couldn't find profile");

  const AgentSupervisor::RunOutcome outcome = context.agents.RunAgent(name);
  switch (outcome.result) {
    case AgentSupervisor::RunOutcome::started:
      return encodeRunReply(buffer);
    case AgentSupervisor::RunOutcome::stopping:
      return encodeErrorReply(buffer, platform::kErrorServiceCannotAcceptCtrl, "couldn't create process");
    case AgentSupervisor::RunOutcome::notAdded:
      return encodeErrorReply(buffer, outcome.error,
                              outcome.error == SVC_ERROR_DUPLICATE ? "duplicate entry" : "addtotable failed");
    case AgentSupervisor::RunOutcome::notStarted:
      break;
  }
  return encodeErrorReply(buffer, outcome.error, "couldn't create process");
}

std::size_t Kill(PipeRequestContext& context, Buffer buffer, std::string_view name) {
  const AgentSupervisor::KillOutcome outcome = context.agents.KillAgent(name);
  switch (outcome.result) {
    case AgentSupervisor::KillOutcome::killed:
      return encodeKillReply(buffer);
    case AgentSupervisor::KillOutcome::notFound:
      return encodeErrorReply(buffer, SVC_ERROR_BAD_REQUEST, "couldn't find profile");
    case AgentSupervisor::KillOutcome::notTerminated:
      break;
  }
  return encodeErrorReply(buffer, outcome.error, "couldn't terminate process");
}

}  // namespace

std::size_t DispatchRequest(PipeRequestContext& context, std::span<std::uint8_t> buffer, std::size_t received,
                            bool administrator) {
  const auto request = std::span<const std::uint8_t>(buffer).first(std::min(received, buffer.size()));
  if (request.size() < 8) return encodeErrorReply(buffer, SVC_ERROR_BAD_REQUEST, "message syntax error");
  const std::uint32_t function = *readLe32(request, 0);
  if (function == PIPE_FN_SHOW) return Show(context, buffer, request);
  if (function != PIPE_FN_RUN && function != PIPE_FN_KILL)
    return encodeErrorReply(buffer, SVC_ERROR_BAD_REQUEST, "invalid function");
  if (!administrator)
    return encodeErrorReply(buffer, platform::kErrorAccessDenied, SystemErrorText(platform::kErrorAccessDenied));

  // The name is copied: the reply is written over the request.
  const auto name = zeroTerminatedText(request, kProfileRequestNameOffset, request.size());
  if (!name) return encodeErrorReply(buffer, SVC_ERROR_BAD_REQUEST, "Wrong message length");
  const std::string profileName(*name);
  return function == PIPE_FN_RUN ? Run(context, buffer, profileName) : Kill(context, buffer, profileName);
}

}  // namespace vorn
