// The rendering engine's one state record per agent process.
#pragma once

#include <cstdint>
#include <string>

namespace vorn::platform {
class DeviceMode;
class FileSystem;
class PrinterSystem;
}  // namespace vorn::platform

namespace vorn {

// Limits of the context texts (fields of 104 bytes with their terminator).
inline constexpr std::size_t kPrinterNameMax = 103;
inline constexpr std::size_t kLoadDirectoryMax = 103;

struct RenderState {
  // The platform services the engine reaches the printer and the load directory through.
  RenderState(platform::PrinterSystem& printers, platform::FileSystem& files)
      : printers(printers), files(files) {}

  platform::PrinterSystem& printers;
  platform::FileSystem& files;

  // Context, filled by the agent and only read by the engine.
  std::string printerName;                       // profile printername
  platform::DeviceMode* deviceMode = nullptr;    // owned by the agent; changed in place at page start
  std::uint16_t mainTray = 0;                    // profile MainTray
  std::uint16_t altTray = 0;                     // profile AltTray
  std::string loadDirectory;                     // profile loadarea, as stored
  std::string outputFileName;                    // per job, when printing to a file
};

}  // namespace vorn
