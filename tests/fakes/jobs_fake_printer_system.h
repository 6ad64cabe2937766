// A printer system for the job tests: it counts printers opened and closed
// and device contexts created and deleted, and fails where told to.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/device_context.h"
#include "platform/device_mode.h"
#include "platform/error.h"
#include "platform/printer_system.h"

namespace vorn::testing {

struct JobsPrinterLedger {
  std::uint32_t openError = platform::kErrorSuccess;
  int sizeResult = 220;                           // documentProperties(mode 0)
  int fillResult = platform::kIdOk;               // documentProperties(kDmOutBuffer)
  std::uint32_t fillLastError = platform::kErrorSuccess;
  std::uint32_t closeLastError = platform::kErrorSuccess;  // left behind by closing
  bool createDCFails = false;

  std::string openedName;
  int printersOpen = 0;
  int printersClosed = 0;
  std::uint32_t lastFillMode = 0;
  std::string dcPrinterName;
  bool dcHadInit = false;
  int dcsCreated = 0;
  int dcsLive = 0;
};

// A device context that draws nothing and reports when it is deleted.
class JobsInertDevice final : public platform::DeviceContext {
 public:
  explicit JobsInertDevice(std::shared_ptr<JobsPrinterLedger> ledger) : ledger_(std::move(ledger)) {
    ++ledger_->dcsCreated;
    ++ledger_->dcsLive;
  }
  ~JobsInertDevice() override { --ledger_->dcsLive; }

  int getDeviceCaps(int) override { return 0; }
  std::uint32_t setTextAlign(std::uint32_t) override { return 0; }
  int setBkMode(int) override { return 1; }
  int startDoc(const platform::DocInfo&) override { return 1; }
  int endDoc() override { return 1; }
  int startPage() override { return 1; }
  int endPage() override { return 1; }
  bool resetDC(const platform::DeviceMode&) override { return true; }
  bool textOut(std::int32_t, std::int32_t, std::string_view) override { return true; }
  bool moveTo(std::int32_t, std::int32_t) override { return true; }
  bool getCurrentPosition(platform::Point& position) override {
    position = {};
    return true;
  }
  platform::GdiObject createFont(const platform::FontRequest&) override { return 1; }
  platform::GdiObject selectObject(platform::GdiObject) override { return 1; }
  bool deleteObject(platform::GdiObject) override { return true; }
  platform::GdiObject getCurrentObject(std::uint32_t) override { return 1; }
  platform::GdiObject createDIBitmap(const platform::BitmapInfoHeader&, std::span<const std::byte>,
                                     std::span<const std::byte>) override {
    return 1;
  }
  bool getBitmapSize(platform::GdiObject, std::int32_t& width, std::int32_t& height) override {
    width = height = 0;
    return true;
  }
  std::unique_ptr<platform::DeviceContext> createCompatibleDC() override {
    return std::make_unique<JobsInertDevice>(ledger_);
  }
  bool bitBlt(std::int32_t, std::int32_t, std::int32_t, std::int32_t, platform::DeviceContext&,
              std::int32_t, std::int32_t, std::uint32_t) override {
    return true;
  }
  int escape(int, std::span<const std::byte>) override { return 0; }

 private:
  std::shared_ptr<JobsPrinterLedger> ledger_;
};

class JobsFakePrinterHandle final : public platform::PrinterHandle {
 public:
  explicit JobsFakePrinterHandle(std::shared_ptr<JobsPrinterLedger> ledger)
      : ledger_(std::move(ledger)) {
    ++ledger_->printersOpen;
  }
  ~JobsFakePrinterHandle() override {
    --ledger_->printersOpen;
    ++ledger_->printersClosed;
    platform::setLastError(ledger_->closeLastError);
  }

  int documentProperties(platform::DeviceMode* out, const platform::DeviceMode*,
                         std::uint32_t mode) override {
    if (mode == 0) return ledger_->sizeResult;
    ledger_->lastFillMode = mode;
    if (ledger_->fillResult != platform::kIdOk) {
      platform::setLastError(ledger_->fillLastError);
      return ledger_->fillResult;
    }
    if (out != nullptr) out->setOrientation(platform::kDmOrientLandscape);
    return platform::kIdOk;
  }

 private:
  std::shared_ptr<JobsPrinterLedger> ledger_;
};

class JobsFakePrinterSystem final : public platform::PrinterSystem {
 public:
  std::shared_ptr<JobsPrinterLedger> ledger = std::make_shared<JobsPrinterLedger>();

  std::uint32_t openPrinter(std::string_view name,
                            std::unique_ptr<platform::PrinterHandle>& printer) override {
    ledger->openedName = std::string(name);
    if (ledger->openError != platform::kErrorSuccess) return ledger->openError;
    printer = std::make_unique<JobsFakePrinterHandle>(ledger);
    return platform::kErrorSuccess;
  }

  std::unique_ptr<platform::DeviceContext> createDC(std::string_view printerName,
                                                    const platform::DeviceMode* init) override {
    ledger->dcPrinterName = std::string(printerName);
    ledger->dcHadInit = init != nullptr;
    if (ledger->createDCFails) return nullptr;
    return std::make_unique<JobsInertDevice>(ledger);
  }
};

}  // namespace vorn::testing
