// Any bytes as a print message from the host: the intake must stay within
// its buffer, route to the job and acknowledge, whatever the message holds.
// The first input byte chooses the profile; the rest is the message, which
// is delivered twice so that the second delivery meets the job the first
// one left open. Odd settings bytes feed the real direct-to-disk job.
#include <cstddef>
#include <cstdint>
#include <span>

#include "agent/diag/agent_event_log.h"
#include "agent/jobs/job_settings.h"
#include "agent/jobs/print_intake.h"
#include "agent/jobs/print_job.h"
#include "agent/render/renderer.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_host_link.h"
#include "tests/fakes/fake_printer_system.h"
#include "tests/fakes/recording_job.h"

namespace {

constexpr std::size_t kMaxInput = 20000;

vorn::JobSettings settingsFrom(std::uint8_t choice) {
  vorn::JobSettings settings;
  settings.directToDisk = (choice & 0x01) != 0;
  settings.printToFile = (choice & 0x03) != 0;
  settings.jetform = (choice & 0x04) != 0;
  settings.zedud = (choice & 0x08) != 0;
  settings.ptfOpt = static_cast<std::uint16_t>(choice >> 4);  // 0..15, beyond the patterns too
  settings.ptfPath = "/spool/";
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > kMaxInput) return 0;
  const vorn::JobSettings settings = settingsFrom(data[0]);
  const std::span<const std::uint8_t> message(data + 1, size - 1);

  vorn::AgentEventLog events(nullptr);
  vorn::fakes::FakeClock clock(0xFFFFFFF0u);
  vorn::fakes::FakeFileSystem files;
  vorn::fakes::HostLinkScript host;
  vorn::fakes::FakeHostLink link(host);
  vorn::fakes::FakePrinterSystem printers;
  vorn::Renderer renderer(printers, files);
  vorn::fakes::RecordingJob recordingJob;
  vorn::PrintJob printJob(settings, printers, files, renderer, events);
  vorn::JobOperations& job = (data[0] & 0x01) != 0 ? static_cast<vorn::JobOperations&>(printJob) : recordingJob;

  vorn::PrintIntake intake(settings, job, &link, events, clock, files);
  const vorn::Variant variant{vorn::kVtByteArray, message};
  for (int delivery = 0; delivery < 2; ++delivery) {
    intake.receive(variant);
  }
  printJob.jobend();

  const std::size_t expectedAcks = message.size() >= 2 ? 2 : 0;
  if (host.messages.size() != expectedAcks) __builtin_trap();
  if (files.openFiles != 0 || printers.dcsLive != 0) __builtin_trap();
  return 0;
}
