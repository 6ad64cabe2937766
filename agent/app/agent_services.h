// The platform services the agent reaches the operating system through. The
// program's top level owns them and hands them in, so that tests can hand in
// fakes that inject faults.
#pragma once

namespace vorn::platform {
class Clock;
class EventLog;
class EventLoop;
class FileSystem;
class NamedMutexes;
class PrinterSystem;
class Registry;
}  // namespace vorn::platform

namespace vorn {

class HostLinkFactory;

struct AgentServices {
  platform::EventLoop& loop;
  platform::Registry& registry;
  platform::EventLog& eventLog;
  platform::PrinterSystem& printers;
  platform::FileSystem& files;
  platform::Clock& clock;
  HostLinkFactory& hostLinks;
  platform::NamedMutexes& mutexes;
};

}  // namespace vorn
