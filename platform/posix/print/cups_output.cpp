// Streams a device's PDF into a CUPS job.
#include <cups/cups.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/posix/print/cups_printers.h"

namespace vorn::platform::posix {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
constexpr int kConnectTimeoutMs = 30000;

std::uint32_t win32FromIpp(ipp_status_t status) {
  switch (status) {
    case IPP_STATUS_ERROR_NOT_FOUND: return kErrorInvalidPrinterName;
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED: return kErrorAccessDenied;
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
    case IPP_STATUS_ERROR_BUSY: return kErrorBusy;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE: return kErrorBadDb;
    default: return kErrorPrintCancelled;
  }
}

class HttpConnection {
 public:
  HttpConnection()
      : http_(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectTimeoutMs,
                           nullptr)) {}
  ~HttpConnection() { reset(); }
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;
  http_t* get() const { return http_; }
  void reset() {
    if (http_ != nullptr) httpClose(http_);
    http_ = nullptr;
  }

 private:
  http_t* http_;
};

class CupsOutput final : public PdfOutput {
 public:
  CupsOutput(std::unique_ptr<HttpConnection> http, std::string queue, int jobId)
      : http_(std::move(http)), queue_(std::move(queue)), jobId_(jobId) {
    chunk_.reserve(kChunkSize);
  }

  ~CupsOutput() override {
    if (finished_) return;
    http_->reset();  // the half-sent request dies with the connection; then the job goes
    cupsCancelJob2(CUPS_HTTP_DEFAULT, queue_.c_str(), jobId_, 0);
  }

  int jobId() const override { return jobId_; }

  bool write(std::span<const unsigned char> data) override {
    if (chunk_.size() + data.size() > kChunkSize && !flush()) return false;
    chunk_.insert(chunk_.end(), data.begin(), data.end());
    return chunk_.size() < kChunkSize || flush();
  }

  bool finish() override {
    if (!flush()) return false;
    const ipp_status_t status = cupsFinishDocument(http_->get(), queue_.c_str());
    if (status > IPP_STATUS_OK_EVENTS_COMPLETE) {
      setLastError(win32FromIpp(status));
      return false;
    }
    finished_ = true;
    return true;
  }

 private:
  bool flush() {
    if (chunk_.empty()) return true;
    const http_status_t status =
        cupsWriteRequestData(http_->get(), reinterpret_cast<const char*>(chunk_.data()), chunk_.size());
    chunk_.clear();
    if (status != HTTP_STATUS_CONTINUE) {
      setLastError(kErrorWriteFault);
      return false;
    }
    return true;
  }

  std::unique_ptr<HttpConnection> http_;
  std::string queue_;
  int jobId_;
  std::vector<unsigned char> chunk_;
  bool finished_ = false;
};

class Options {
 public:
  ~Options() { cupsFreeOptions(count_, options_); }
  void add(const char* name, const std::string& value) { count_ = cupsAddOption(name, value.c_str(), count_, &options_); }
  int count() const { return count_; }
  cups_option_t* get() const { return options_; }

 private:
  int count_ = 0;
  cups_option_t* options_ = nullptr;
};

}  // namespace

std::unique_ptr<PdfOutput> openCupsOutput(std::string_view queueName, const CupsJobOptions& jobOptions) {
  const std::string queue(queueName);
  auto http = std::make_unique<HttpConnection>();
  if (http->get() == nullptr) {
    setLastError(kErrorBadDb);
    return nullptr;
  }
  Options options;
  options.add(CUPS_SIDES, jobOptions.twoSided ? CUPS_SIDES_TWO_SIDED_PORTRAIT : CUPS_SIDES_ONE_SIDED);
  if (jobOptions.mediaSource) options.add("media-col", "{media-source=" + *jobOptions.mediaSource + "}");
  // No orientation-requested: each PDF page carries its own orientation.

  const int jobId = cupsCreateJob(http->get(), queue.c_str(), jobOptions.title.c_str(), options.count(), options.get());
  if (jobId <= 0) {
    setLastError(win32FromIpp(cupsLastError()));
    return nullptr;
  }
  if (cupsStartDocument(http->get(), queue.c_str(), jobId, jobOptions.title.c_str(), CUPS_FORMAT_PDF, 1) !=
      HTTP_STATUS_CONTINUE) {
    const std::uint32_t error = win32FromIpp(cupsLastError());
    http->reset();
    cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.c_str(), jobId, 0);
    setLastError(error);
    return nullptr;
  }
  return std::make_unique<CupsOutput>(std::move(http), queue, jobId);
}

}  // namespace vorn::platform::posix
