// Win32 error codes on POSIX: the per-thread last error, errno mapping and the
// English message texts of the codes this system can produce.
#include "platform/error.h"
#include "platform/posix/errno_codes.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <string_view>
#include <utility>

namespace vorn::platform {
namespace {

thread_local std::uint32_t tLastError = kErrorSuccess;

struct CodeText {
  std::uint32_t code;
  std::string_view text;
};

// The texts Windows gives (FormatMessageA, FROM_SYSTEM, English), sorted by code.
constexpr std::array kWin32Texts = std::to_array<CodeText>({
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {10, "The environment is incorrect.\r\n"},
    {11, "An attempt was made to load a program with an incorrect format.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n"},
    {17, "The system cannot move the file to a different disk drive.\r\n"},
    {19, "The media is write protected.\r\n"},
    {29, "The system cannot write to the specified device.\r\n"},
    {30, "The system cannot read from the specified device.\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {38, "Reached the end of the file.\r\n"},
    {50, "The request is not supported.\r\n"},
    {63, "Your file waiting to be printed was deleted.\r\n"},
    {64, "The specified network name is no longer available.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {109, "The pipe has been ended.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {121, "The semaphore timeout period has expired.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {145, "The directory is not empty.\r\n"},
    {161, "The specified path is invalid.\r\n"},
    {170, "The requested resource is in use.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {223, "The file size exceeds the limit allowed and cannot be saved.\r\n"},
    {231, "All pipe instances are busy.\r\n"},
    {232, "The pipe is being closed.\r\n"},
    {233, "No process is on the other end of the pipe.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {267, "The directory name is invalid.\r\n"},
    {535, "There is a process on other end of the pipe.\r\n"},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request.\r\n"},
    {997, "Overlapped I/O operation is in progress.\r\n"},
    {1009, "The configuration registry database is corrupt.\r\n"},
    {1010, "The configuration registry key is invalid.\r\n"},
    {1012, "The configuration registry key could not be read.\r\n"},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {1053, "The service did not respond to the start or control request in a timely fashion.\r\n"},
    {1056, "An instance of the service is already running.\r\n"},
    {1060, "The specified service does not exist as an installed service.\r\n"},
    {1061, "The service cannot accept control messages at this time.\r\n"},
    {1062, "The service has not been started.\r\n"},
    {1063, "The service process could not connect to the service controller.\r\n"},
    {1072, "The specified service has been marked for deletion.\r\n"},
    {1073, "The specified service already exists.\r\n"},
    {1117, "The request could not be performed because of an I/O device error.\r\n"},
    {1225, "The remote computer refused the network connection.\r\n"},
    {1231, "The network location cannot be reached. For information about network troubleshooting, see Windows Help.\r\n"},
    {1232, "The network location cannot be reached. For information about network troubleshooting, see Windows Help.\r\n"},
    {1236, "The network connection was aborted by the local system.\r\n"},
    {1460, "This operation returned because the timeout period expired.\r\n"},
    {1801, "The printer name is invalid.\r\n"},
    {1921, "The name of the file cannot be resolved by the system.\r\n"},
    {10004, "A blocking operation was interrupted by a call to WSACancelBlockingCall.\r\n"},
    {10009, "The file handle supplied is not valid.\r\n"},
    {10013, "An attempt was made to access a socket in a way forbidden by its access permissions.\r\n"},
    {10014, "The system detected an invalid pointer address in attempting to use a pointer argument in a call.\r\n"},
    {10022, "An invalid argument was supplied.\r\n"},
    {10024, "Too many open sockets.\r\n"},
    {10035, "A non-blocking socket operation could not be completed immediately.\r\n"},
    {10036, "A blocking operation is currently executing.\r\n"},
    {10037, "An operation was attempted on a non-blocking socket that already had an operation in progress.\r\n"},
    {10038, "An operation was attempted on something that is not a socket.\r\n"},
    {10039, "A required address was omitted from an operation on a socket.\r\n"},
    {10040, "A message sent on a datagram socket was larger than the internal message buffer or some other network limit, or the buffer used to receive a datagram into was smaller than the datagram itself.\r\n"},
    {10041, "A protocol was specified in the socket function call that does not support the semantics of the socket type requested.\r\n"},
    {10042, "An unknown, invalid, or unsupported option or level was specified in a getsockopt or setsockopt call.\r\n"},
    {10043, "The requested protocol has not been configured into the system, or no implementation for it exists.\r\n"},
    {10044, "The support for the specified socket type does not exist in this address family.\r\n"},
    {10045, "The attempted operation is not supported for the type of object referenced.\r\n"},
    {10046, "The protocol family has not been configured into the system or no implementation for it exists.\r\n"},
    {10047, "An address incompatible with the requested protocol was used.\r\n"},
    {10048, "Only one usage of each socket address (protocol/network address/port) is normally permitted.\r\n"},
    {10049, "The requested address is not valid in its context.\r\n"},
    {10050, "A socket operation encountered a dead network.\r\n"},
    {10051, "A socket operation was attempted to an unreachable network.\r\n"},
    {10052, "The connection has been broken due to keep-alive activity detecting a failure while the operation was in progress.\r\n"},
    {10053, "An established connection was aborted by the software in your host machine.\r\n"},
    {10054, "An existing connection was forcibly closed by the remote host.\r\n"},
    {10055, "An operation on a socket could not be performed because the system lacked sufficient buffer space or because a queue was full.\r\n"},
    {10056, "A connect request was made on an already connected socket.\r\n"},
    {10057, "A request to send or receive data was disallowed because the socket is not connected and (when sending on a datagram socket using a sendto call) no address was supplied.\r\n"},
    {10058, "A request to send or receive data was disallowed because the socket had already been shut down in that direction with a previous shutdown call.\r\n"},
    {10059, "Too many references to some kernel object.\r\n"},
    {10060, "A connection attempt failed because the connected party did not properly respond after a period of time, or established connection failed because connected host has failed to respond.\r\n"},
    {10061, "No connection could be made because the target machine actively refused it.\r\n"},
    {10062, "Cannot translate name.\r\n"},
    {10063, "Name component or name was too long.\r\n"},
    {10064, "A socket operation failed because the destination host was down.\r\n"},
    {10065, "A socket operation was attempted to an unreachable host.\r\n"},
    {11001, "No such host is known.\r\n"},
    {11002, "This is usually a temporary error during hostname resolution and means that the local server did not receive a response from an authoritative server.\r\n"},
    {11003, "A non-recoverable error occurred during a database lookup.\r\n"},
    {11004, "The requested name is valid, but no data of the requested type was found.\r\n"},
});

// HRESULTs of other facilities that have their own text, sorted by code.
constexpr std::array kResultTexts = std::to_array<CodeText>({
    {0x80004001u, "Not implemented\r\n"},
    {0x80004002u, "No such interface supported\r\n"},
    {0x80004003u, "Invalid pointer\r\n"},
    {0x80004004u, "Operation aborted\r\n"},
    {0x80004005u, "Unspecified error\r\n"},
    {0x8000FFFFu, "Catastrophic failure\r\n"},
    {0x80010108u, "The object invoked has disconnected from its clients.\r\n"},
    {0x80020009u, "Exception occurred.\r\n"},
    {0x80040154u, "Class not registered\r\n"},
    {0x800401F0u, "CoInitialize has not been called.\r\n"},
    {0x80080005u, "Server execution failed\r\n"},
});

template <std::size_t N>
constexpr bool isSorted(const std::array<CodeText, N>& table) {
  for (std::size_t i = 1; i < N; ++i) {
    if (table[i - 1].code >= table[i].code) return false;
  }
  return true;
}
static_assert(isSorted(kWin32Texts) && isSorted(kResultTexts), "message tables must stay sorted");

template <std::size_t N>
std::string_view find(const std::array<CodeText, N>& table, std::uint32_t code) {
  const auto it = std::lower_bound(table.begin(), table.end(), code,
                                   [](const CodeText& entry, std::uint32_t c) { return entry.code < c; });
  return it != table.end() && it->code == code ? it->text : std::string_view{};
}

constexpr std::uint32_t kFacilityWin32 = 7;

}  // namespace

std::uint32_t lastError() { return tLastError; }

void setLastError(std::uint32_t code) { tLastError = code; }

std::uint32_t win32FromErrno(int errnoValue) {
  switch (errnoValue) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case E2BIG: return kErrorBadEnvironment;
    case ENOEXEC: return kErrorBadFormat;
    case EXDEV: return kErrorNotSameDevice;
    case EROFS: return kErrorWriteProtect;
    case EEXIST: return kErrorAlreadyExists;
    case ETIMEDOUT: return kErrorSemTimeout;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case EBUSY:
    case ETXTBSY:
    case EAGAIN: return kErrorBusy;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case EINVAL:
    case ESPIPE:
    case ERANGE: return kErrorInvalidParameter;
    case EPIPE: return kErrorBrokenPipe;
    case ENOTCONN: return kErrorPipeNotConnected;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case EFBIG: return kErrorFileTooLarge;
    case ELOOP: return kErrorCantResolveFilename;
    case EINTR:
    case ECANCELED: return kErrorOperationAborted;
    case EIO: return kErrorIoDevice;
    case ENOSYS:
    case EOPNOTSUPP: return kErrorNotSupported;
    case ECONNREFUSED: return kErrorConnectionRefused;
    case ECONNRESET: return kErrorNetnameDeleted;
    case ECONNABORTED: return kErrorConnectionAborted;
    case ENETUNREACH: return kErrorNetworkUnreachable;
    case EHOSTUNREACH: return kErrorHostUnreachable;
    default: return kErrorInvalidFunction;
  }
}

std::uint32_t winsockFromErrno(int errnoValue) {
  switch (errnoValue) {
    case 0: return 0;
    case EINTR: return kWsaEIntr;
    case EBADF: return kWsaEBadF;
    case EACCES:
    case EPERM: return kWsaEAcces;
    case EFAULT: return kWsaEFault;
    case EINVAL: return kWsaEInval;
    case EMFILE:
    case ENFILE: return kWsaEMFile;
    case EAGAIN: return kWsaEWouldBlock;
    case EINPROGRESS: return kWsaEInProgress;
    case EALREADY: return kWsaEAlready;
    case ENOTSOCK: return kWsaENotSock;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return kWsaEMsgSize;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return kWsaEAddrInUse;
    case EADDRNOTAVAIL: return kWsaEAddrNotAvail;
    case ENETDOWN: return kWsaENetDown;
    case ENETUNREACH: return kWsaENetUnreach;
    case ENETRESET: return 10052;
    case ECONNABORTED: return kWsaEConnAborted;
    // A peer that went away shows on Windows as a reset connection.
    case ECONNRESET:
    case EPIPE: return kWsaEConnReset;
    case ENOBUFS:
    case ENOMEM: return kWsaENoBufs;
    case EISCONN: return 10056;
    case ENOTCONN: return kWsaENotConn;
    case ESHUTDOWN: return kWsaEShutdown;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return kWsaETimedOut;
    case ECONNREFUSED: return kWsaEConnRefused;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return kWsaEHostDown;
    case EHOSTUNREACH: return kWsaEHostUnreach;
    default: return kWsaEInval;
  }
}

std::uint32_t setLastErrorFromErrno() {
  const std::uint32_t code = win32FromErrno(errno);
  setLastError(code);
  return code;
}

std::string systemMessageText(std::uint32_t code) {
  if (code <= 0xFFFFu) return std::string(find(kWin32Texts, code));
  if (const std::string_view text = find(kResultTexts, code); !text.empty()) return std::string(text);
  // HRESULT_FROM_WIN32 codes read as the Win32 code they carry.
  const std::uint32_t facility = (code >> 16) & 0x1FFFu;
  if ((code & 0x80000000u) != 0 && facility == kFacilityWin32) {
    return std::string(find(kWin32Texts, code & 0xFFFFu));
  }
  return {};
}

}  // namespace vorn::platform
