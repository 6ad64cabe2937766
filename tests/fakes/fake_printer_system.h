// A printer system with one configurable printer whose calls are recorded and
// can be made to fail. Its device contexts count themselves and draw nothing,
// or record every call into `deviceLog` when the test sets one (and inject
// the device faults that log is told to).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/device_mode.h"
#include "platform/error.h"
#include "platform/printer_system.h"
#include "tests/fakes/null_device.h"
#include "tests/fakes/recording_device.h"

namespace vorn::fakes {

class FakePrinterSystem : public platform::PrinterSystem {
 public:
  // The printer's current default settings, as DocumentPropertiesA(DM_OUT_BUFFER) gives them.
  struct Defaults {
    std::uint32_t fields = platform::kDmOrientation | platform::kDmPaperSize | platform::kDmDefaultSource |
                           platform::kDmDuplex;
    std::int16_t orientation = platform::kDmOrientPortrait;
    std::int16_t defaultSource = 7;
    std::int16_t duplex = platform::kDmDupSimplex;
    std::int16_t paperSize = platform::kDmPaperA4;
  };

  struct PropertiesCall {
    std::uint32_t mode = 0;
    bool sameBuffer = false;  // input and output the same record
    std::uint32_t inFields = 0;
    std::int16_t inDuplex = 0;
  };

  std::string printerName = "LASER1";
  Defaults defaults;
  std::size_t driverSize = platform::DeviceMode::kPublicSize + 64;

  // Fault injection.
  std::uint32_t openError = 0;         // error openPrinter reports for the known name
  int failPropertiesCall = 0;          // 1-based documentProperties call that fails (0: none)
  int failedPropertiesResult = -1;     // what that call returns
  std::uint32_t propertiesError = 0;   // the last error that call leaves
  bool failCreateDC = false;
  std::shared_ptr<DeviceLog> deviceLog;  // set: device contexts are recording devices

  // Records. Closing a printer leaves kErrorSuccess as the last error.
  int opens = 0;
  int closes = 0;
  std::vector<PropertiesCall> propertiesCalls;
  int dcsCreated = 0;
  int dcsLive = 0;  // device contexts not yet deleted
  bool lastDCHadInit = false;

  std::uint32_t openPrinter(std::string_view name, std::unique_ptr<platform::PrinterHandle>& printer) override {
    if (name != printerName) return platform::kErrorInvalidPrinterName;
    if (openError != 0) return openError;
    ++opens;
    printer = std::make_unique<Handle>(*this);
    return 0;
  }

  std::unique_ptr<platform::DeviceContext> createDC(std::string_view name, const platform::DeviceMode* init) override {
    lastDCHadInit = init != nullptr;
    if (failCreateDC || name != printerName) return nullptr;
    if (deviceLog) return std::make_unique<Counted<RecordingDevice>>(*this, deviceLog);
    return std::make_unique<Counted<NullDevice>>(*this);
  }

 private:
  // Must not outlive the printer system that made it.
  template <typename Device>
  class Counted final : public Device {
   public:
    template <typename... Args>
    explicit Counted(FakePrinterSystem& system, Args&&... args) : Device(std::forward<Args>(args)...), system_(system) {
      ++system_.dcsCreated;
      ++system_.dcsLive;
    }
    ~Counted() override { --system_.dcsLive; }

   private:
    FakePrinterSystem& system_;
  };

  class Handle : public platform::PrinterHandle {
   public:
    explicit Handle(FakePrinterSystem& system) : system_(system) {}
    ~Handle() override {
      ++system_.closes;
      platform::setLastError(platform::kErrorSuccess);
    }

    int documentProperties(platform::DeviceMode* out, const platform::DeviceMode* in, std::uint32_t mode) override {
      PropertiesCall call;
      call.mode = mode;
      call.sameBuffer = in != nullptr && in == out;
      if (in != nullptr) {
        call.inFields = in->fields();
        call.inDuplex = in->duplex();
      }
      system_.propertiesCalls.push_back(call);
      if (static_cast<int>(system_.propertiesCalls.size()) == system_.failPropertiesCall) {
        platform::setLastError(system_.propertiesError);
        return system_.failedPropertiesResult;
      }
      if (mode == 0) return static_cast<int>(system_.driverSize);
      if ((mode & platform::kDmOutBuffer) == 0 || out == nullptr) return -1;

      const Defaults& d = system_.defaults;
      if ((mode & platform::kDmInBuffer) != 0 && in != nullptr) {
        // Merge: the members the input carries override the printer's defaults.
        const std::uint32_t given = in->fields();
        const std::int16_t orientation = (given & platform::kDmOrientation) ? in->orientation() : d.orientation;
        const std::int16_t source = (given & platform::kDmDefaultSource) ? in->defaultSource() : d.defaultSource;
        const std::int16_t duplex = (given & platform::kDmDuplex) && (d.fields & platform::kDmDuplex)
                                        ? in->duplex()
                                        : d.duplex;
        out->setFields(d.fields);
        out->setOrientation(orientation);
        out->setDefaultSource(source);
        out->setDuplex(duplex);
        out->setPaperSize(d.paperSize);
        return platform::kIdOk;
      }
      out->setFields(d.fields);
      out->setOrientation(d.orientation);
      out->setDefaultSource(d.defaultSource);
      out->setDuplex(d.duplex);
      out->setPaperSize(d.paperSize);
      return platform::kIdOk;
    }

   private:
    FakePrinterSystem& system_;
  };
};

}  // namespace vorn::fakes
