// SERVICE_STATUS and the portable ServiceStatus, field for field.
#pragma once

#include <windows.h>

#include "platform/service_control.h"

namespace vorn::platform::win32 {

inline ServiceStatus fromWin32(const SERVICE_STATUS& s) {
  return {s.dwServiceType, s.dwCurrentState, s.dwControlsAccepted, s.dwWin32ExitCode,
          s.dwServiceSpecificExitCode, s.dwCheckPoint, s.dwWaitHint};
}

inline SERVICE_STATUS toWin32(const ServiceStatus& s) {
  return {s.dwServiceType, s.dwCurrentState, s.dwControlsAccepted, s.dwWin32ExitCode,
          s.dwServiceSpecificExitCode, s.dwCheckPoint, s.dwWaitHint};
}

}  // namespace vorn::platform::win32
