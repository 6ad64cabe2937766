#include "agent/hostlink/host_link_connection.h"

#include <string>

#include "agent/diag/fatal_error.h"
#include "agent/hostlink/link_arguments.h"

namespace vorn {

HostLinkConnection::HostLinkConnection(HostLinkFactory& factory, AgentEventLog& log)
    : factory_(factory), log_(log) {}

HostLinkConnection::~HostLinkConnection() {
  if (eventSink) {
    if (link) link->Unadvise(adviseCookie);
    eventSink.reset();
  }
  link.reset();
}

int HostLinkConnection::SetUp(const PrinterProfile& profile, std::unique_ptr<HostLinkEvents> receiver) {
  return guardEntryPoint(kLinkSetUpSite, [&]() -> int {
    link.reset();

    std::unique_ptr<HostLink> created;
    const platform::HRESULT createResult = factory_.create(created);
    if (platform::failed(createResult) || !created) {
      link.reset();
      log_.LogErrorCode("termlink->createinstance failed",
                        platform::failed(createResult) ? createResult : platform::kEPointer);
      return -1;
    }
    link = std::move(created);

    eventSink = std::move(receiver);
    if (platform::failed(link->Advise(*eventSink, adviseCookie))) {
      log_.LogError("GetIDispatch failed");
      return -1;
    }

    const std::string connectString = BuildConnectString(profile);
    const std::string forms = BuildFormsText(profile.MainForm, profile.AltForm);
    const std::int32_t deviceFlags = BuildDeviceFlags(profile);

    if (platform::failed(link->Connect(connectString, 1, 3, 0, profile.printerid, deviceFlags, forms))) {
      link.reset();
      log_.LogError("termlink->connect failed");
      return -1;
    }

    linkState_ = kLinkConnected;
    return 0;
  });
}

}  // namespace vorn
