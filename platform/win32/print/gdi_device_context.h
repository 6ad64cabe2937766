// A device context of gdi32: each method is the GDI call it names.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/device_context.h"

namespace vorn::platform::win32 {

// Takes `dc` (from CreateDCA or CreateCompatibleDC) and deletes it (DeleteDC).
std::unique_ptr<DeviceContext> adoptDeviceContext(HDC dc);

}  // namespace vorn::platform::win32
