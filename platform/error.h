// Win32 error codes, HRESULTs and the per-thread last error.
// Stands for: GetLastError, SetLastError, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM).
//
// The system's error code space is Win32's on every platform: the POSIX layer
// maps errno values into it (platform/posix/errno_codes.h), so events and
// messages read the same everywhere.
// Constants use k-names because the Win32 headers define the ERROR_* names as macros.
#pragma once

#include <cstdint>
#include <string>

namespace vorn::platform {

using HRESULT = std::int32_t;

// Win32 system error codes.
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorInvalidFunction = 1;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorTooManyOpenFiles = 4;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorOutOfMemory = 14;
inline constexpr std::uint32_t kErrorWriteFault = 29;
inline constexpr std::uint32_t kErrorGenFailure = 31;
inline constexpr std::uint32_t kErrorReadFault = 30;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorHandleEof = 38;
inline constexpr std::uint32_t kErrorNotSupported = 50;
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorBrokenPipe = 109;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorInvalidName = 123;
inline constexpr std::uint32_t kErrorDirNotEmpty = 145;
inline constexpr std::uint32_t kErrorBusy = 170;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorFilenameExcedRange = 206;
inline constexpr std::uint32_t kErrorPipeBusy = 231;
inline constexpr std::uint32_t kErrorMoreData = 234;
inline constexpr std::uint32_t kErrorNoMoreItems = 259;
inline constexpr std::uint32_t kErrorDirectory = 267;
inline constexpr std::uint32_t kErrorSemTimeout = 121;
inline constexpr std::uint32_t kErrorPipeNotConnected = 233;
inline constexpr std::uint32_t kErrorPipeConnected = 535;
inline constexpr std::uint32_t kErrorBadDb = 1009;
inline constexpr std::uint32_t kErrorBadKey = 1010;
inline constexpr std::uint32_t kErrorCantRead = 1012;
inline constexpr std::uint32_t kErrorKeyDeleted = 1018;
inline constexpr std::uint32_t kErrorInvalidPrinterName = 1801;
inline constexpr std::uint32_t kErrorPrintCancelled = 63;
inline constexpr std::uint32_t kErrorBadEnvironment = 10;
inline constexpr std::uint32_t kErrorBadFormat = 11;
inline constexpr std::uint32_t kErrorNotSameDevice = 17;
inline constexpr std::uint32_t kErrorWriteProtect = 19;
inline constexpr std::uint32_t kErrorNetnameDeleted = 64;
inline constexpr std::uint32_t kErrorBadPathname = 161;
inline constexpr std::uint32_t kErrorFileTooLarge = 223;
inline constexpr std::uint32_t kErrorNoData = 232;
inline constexpr std::uint32_t kErrorOperationAborted = 995;
inline constexpr std::uint32_t kErrorIoPending = 997;
inline constexpr std::uint32_t kErrorServiceRequestTimeout = 1053;
inline constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
inline constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
inline constexpr std::uint32_t kErrorServiceCannotAcceptCtrl = 1061;
inline constexpr std::uint32_t kErrorServiceNotActive = 1062;
inline constexpr std::uint32_t kErrorFailedServiceControllerConnect = 1063;
inline constexpr std::uint32_t kErrorServiceMarkedForDelete = 1072;
inline constexpr std::uint32_t kErrorServiceExists = 1073;
inline constexpr std::uint32_t kErrorIoDevice = 1117;
inline constexpr std::uint32_t kErrorConnectionRefused = 1225;
inline constexpr std::uint32_t kErrorNetworkUnreachable = 1231;
inline constexpr std::uint32_t kErrorHostUnreachable = 1232;
inline constexpr std::uint32_t kErrorConnectionAborted = 1236;
inline constexpr std::uint32_t kErrorTimeout = 1460;
inline constexpr std::uint32_t kErrorCantResolveFilename = 1921;

// Winsock error codes (the host link reports these inside HRESULTs).
inline constexpr std::uint32_t kWsaEWouldBlock = 10035;
inline constexpr std::uint32_t kWsaEConnAborted = 10053;
inline constexpr std::uint32_t kWsaEConnReset = 10054;
inline constexpr std::uint32_t kWsaENotConn = 10057;
inline constexpr std::uint32_t kWsaETimedOut = 10060;
inline constexpr std::uint32_t kWsaEConnRefused = 10061;
inline constexpr std::uint32_t kWsaEHostUnreach = 10065;
inline constexpr std::uint32_t kWsaENetUnreach = 10051;
inline constexpr std::uint32_t kWsaHostNotFound = 11001;
inline constexpr std::uint32_t kWsaEIntr = 10004;
inline constexpr std::uint32_t kWsaEBadF = 10009;
inline constexpr std::uint32_t kWsaEAcces = 10013;
inline constexpr std::uint32_t kWsaEFault = 10014;
inline constexpr std::uint32_t kWsaEInval = 10022;
inline constexpr std::uint32_t kWsaEMFile = 10024;
inline constexpr std::uint32_t kWsaEInProgress = 10036;
inline constexpr std::uint32_t kWsaEAlready = 10037;
inline constexpr std::uint32_t kWsaENotSock = 10038;
inline constexpr std::uint32_t kWsaEMsgSize = 10040;
inline constexpr std::uint32_t kWsaEAddrInUse = 10048;
inline constexpr std::uint32_t kWsaEAddrNotAvail = 10049;
inline constexpr std::uint32_t kWsaENetDown = 10050;
inline constexpr std::uint32_t kWsaENoBufs = 10055;
inline constexpr std::uint32_t kWsaEShutdown = 10058;
inline constexpr std::uint32_t kWsaEHostDown = 10064;
inline constexpr std::uint32_t kWsaTryAgain = 11002;
inline constexpr std::uint32_t kWsaNoRecovery = 11003;
inline constexpr std::uint32_t kWsaNoData = 11004;

// HRESULTs.
inline constexpr HRESULT kSOk = 0;
inline constexpr HRESULT kSFalse = 1;
inline constexpr HRESULT kENotImpl = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT kENoInterface = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT kEPointer = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT kEAbort = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT kEFail = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT kEUnexpected = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT kEOutOfMemory = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT kEInvalidArg = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT kEAccessDenied = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT kEHandle = static_cast<HRESULT>(0x80070006u);

constexpr bool succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool failed(HRESULT hr) { return hr < 0; }

// HRESULT_FROM_WIN32.
constexpr HRESULT hresultFromWin32(std::uint32_t code) {
  return code == 0 ? 0 : static_cast<HRESULT>((code & 0xFFFFu) | 0x80070000u);
}

// The calling thread's last error (GetLastError / SetLastError).
std::uint32_t lastError();
void setLastError(std::uint32_t code);

// The system's English message text for a code, as FormatMessageA(FROM_SYSTEM)
// gives it: ending in "\r\n", or empty when the system has no text for the code.
// Both plain Win32 codes and HRESULTs (facility WIN32 or others) are accepted.
std::string systemMessageText(std::uint32_t code);

}  // namespace vorn::platform
