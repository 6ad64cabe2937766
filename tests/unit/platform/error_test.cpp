#include "platform/error.h"
#include "platform/posix/errno_codes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace vorn::platform {
namespace {

struct ErrnoCase {
  int errnoValue;
  std::uint32_t win32;
  std::uint32_t winsock;
};

class ErrnoMapping : public ::testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrnoMapping, MapsToWin32AndWinsockCodes) {
  const ErrnoCase& c = GetParam();
  EXPECT_EQ(win32FromErrno(c.errnoValue), c.win32);
  EXPECT_EQ(winsockFromErrno(c.errnoValue), c.winsock);
}

INSTANTIATE_TEST_SUITE_P(Error, ErrnoMapping,
                         ::testing::Values(ErrnoCase{0, 0, 0}, ErrnoCase{ENOENT, 2, 10022}, ErrnoCase{ENOTDIR, 3, 10022},
                                           ErrnoCase{EMFILE, 4, 10024}, ErrnoCase{EACCES, 5, 10013},
                                           ErrnoCase{EPERM, 5, 10013}, ErrnoCase{EBADF, 6, 10009},
                                           ErrnoCase{ENOMEM, 8, 10055}, ErrnoCase{EEXIST, 183, 10022},
                                           ErrnoCase{ETIMEDOUT, 121, 10060}, ErrnoCase{ENOSPC, 112, 10022},
                                           ErrnoCase{EBUSY, 170, 10022}, ErrnoCase{ENAMETOOLONG, 206, 10063},
                                           ErrnoCase{EINVAL, 87, 10022}, ErrnoCase{EPIPE, 109, 10054},
                                           ErrnoCase{EIO, 1117, 10022}, ErrnoCase{ECONNREFUSED, 1225, 10061},
                                           ErrnoCase{EHOSTUNREACH, 1232, 10065}, ErrnoCase{ENETUNREACH, 1231, 10051},
                                           ErrnoCase{ECONNRESET, 64, 10054}, ErrnoCase{EAGAIN, 170, 10035},
                                           ErrnoCase{EINPROGRESS, 1, 10036}, ErrnoCase{ENOTCONN, 233, 10057}));

TEST(Error, EveryCodeTheMappingProducesHasAText) {
  for (int e = 0; e < 4096; ++e) {
    const std::uint32_t code = win32FromErrno(e);
    EXPECT_FALSE(systemMessageText(code).empty()) << "errno " << e << " -> " << code;
    if (e != 0) {
      EXPECT_NE(code, 0u) << e;
      EXPECT_FALSE(systemMessageText(winsockFromErrno(e)).empty()) << "errno " << e;
    }
  }
}

struct TextCase {
  std::uint32_t code;
  const char* text;
};

class MessageTexts : public ::testing::TestWithParam<TextCase> {};

TEST_P(MessageTexts, AreTheSystemWording) { EXPECT_EQ(systemMessageText(GetParam().code), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Error, MessageTexts,
    ::testing::Values(TextCase{0, "The operation completed successfully.\r\n"},
                      TextCase{2, "The system cannot find the file specified.\r\n"},
                      TextCase{5, "Access is denied.\r\n"},
                      TextCase{32, "The process cannot access the file because it is being used by another process.\r\n"},
                      TextCase{234, "More data is available.\r\n"},
                      TextCase{1009, "The configuration registry database is corrupt.\r\n"},
                      TextCase{1801, "The printer name is invalid.\r\n"},
                      TextCase{10061, "No connection could be made because the target machine actively refused it.\r\n"},
                      TextCase{11001, "No such host is known.\r\n"},
                      TextCase{0x80004005u, "Unspecified error\r\n"},
                      TextCase{0x80004003u, "Invalid pointer\r\n"},
                      TextCase{0x8000FFFFu, "Catastrophic failure\r\n"},
                      TextCase{0x80004001u, "Not implemented\r\n"},
                      TextCase{0x80004002u, "No such interface supported\r\n"},
                      // Facility 7 carries a Win32 code.
                      TextCase{0x80070057u, "The parameter is incorrect.\r\n"},
                      TextCase{0x8007000Eu, "Not enough memory resources are available to complete this operation.\r\n"},
                      TextCase{0x80070005u, "Access is denied.\r\n"},
                      TextCase{0x8007274Du, "No connection could be made because the target machine actively refused it.\r\n"},
                      // No text: other facilities, unknown codes.
                      TextCase{0x8008274Du, ""}, TextCase{0x80080035u, ""}, TextCase{0x800A0258u, ""},
                      TextCase{7777, ""}, TextCase{0x00070005u, ""}, TextCase{0x80079999u, ""}));

TEST(Error, EveryTextEndsWithCrLf) {
  for (std::uint32_t code = 0; code < 12000; ++code) {
    const std::string text = systemMessageText(code);
    if (!text.empty()) {
      EXPECT_TRUE(text.ends_with(".\r\n")) << code;
    }
  }
}

TEST(Error, HresultFromWin32) {
  EXPECT_EQ(hresultFromWin32(0), 0);
  EXPECT_EQ(static_cast<std::uint32_t>(hresultFromWin32(5)), 0x80070005u);
  EXPECT_TRUE(failed(hresultFromWin32(kErrorFileNotFound)));
}

TEST(Error, LastErrorIsPerThread) {
  setLastError(kErrorMoreData);
  std::uint32_t seenByOther = 99;
  std::thread other([&] {
    seenByOther = lastError();
    setLastError(kErrorAccessDenied);
  });
  other.join();
  EXPECT_EQ(seenByOther, kErrorSuccess);
  EXPECT_EQ(lastError(), kErrorMoreData);
}

TEST(Error, SetLastErrorFromErrnoReturnsTheMappedCode) {
  errno = ENOENT;
  EXPECT_EQ(setLastErrorFromErrno(), kErrorFileNotFound);
  EXPECT_EQ(lastError(), kErrorFileNotFound);
}

}  // namespace
}  // namespace vorn::platform
