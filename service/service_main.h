// The service's main routine and its control handler.
#pragma once

#include <cstdint>

namespace vorn {

class PrintService;

// Registers the control handler, reports the start, runs the start-up and
// reports the service running, unless a stop has begun meanwhile.
void ServiceMain(PrintService& service);

// Stop and shutdown start the one stop sequence on a thread of its own (a
// later one only reports the status again); interrogation reports the
// status; any other control is written as an event.
void ServiceControlHandler(PrintService& service, std::uint32_t control);

}  // namespace vorn
