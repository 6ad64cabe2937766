// Local stream endpoints by name: what a name may be, and who owns it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "platform/error.h"
#include "platform/socket.h"
#include "tests/support/test_support.h"

namespace vorn::platform {
namespace {

TEST(LocalStream, NamesThatAreNoSingleNameAreRefused) {
  test::TempRoot root;
  for (const std::string& name : {std::string(), std::string("."), std::string(".."), std::string("a/b"),
                                 std::string("a\\b"), std::string("a\0b", 3)}) {
    std::unique_ptr<StreamListener> listener;
    std::unique_ptr<StreamSocket> socket;
    EXPECT_EQ(listenLocal(name, listener), kErrorInvalidName) << name;
    EXPECT_EQ(startLocalConnect(name, socket), kErrorInvalidName) << name;
    EXPECT_EQ(listener, nullptr);
    EXPECT_EQ(socket, nullptr);
  }
}

TEST(LocalStream, OneLiveListenerPerNameAndTheNameIsFreeAgainAfterIt) {
  test::TempRoot root;
  std::unique_ptr<StreamSocket> socket;
  EXPECT_EQ(startLocalConnect("termlink-9", socket), kErrorFileNotFound);

  std::unique_ptr<StreamListener> first;
  ASSERT_EQ(listenLocal("termlink-9", first), 0u);
  EXPECT_EQ(first->description(), (root.path() / "pipe" / "termlink-9").string());
  EXPECT_EQ(first->port(), 0);
  struct stat info {};
  ASSERT_EQ(::stat((root.path() / "pipe" / "termlink-9").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666u);  // anyone may connect

  std::unique_ptr<StreamListener> second;
  EXPECT_EQ(listenLocal("termlink-9", second), kWsaEAddrInUse);
  EXPECT_EQ(startLocalConnect("termlink-9", socket), 0u);
  first.reset();
  EXPECT_EQ(startLocalConnect("termlink-9", socket), kErrorFileNotFound);
  EXPECT_EQ(listenLocal("termlink-9", second), 0u);
}

TEST(LocalStream, UnreachableRootIsACodeNotAnException) {
  test::TempRoot root;
  test::writeRegistry(root.path(), "x");
  ::setenv("VORNPRINT_ROOT", (root.path() / "registry.reg").c_str(), 1);  // TempRoot restores it
  std::unique_ptr<StreamListener> listener;
  std::unique_ptr<StreamSocket> socket;
  EXPECT_EQ(listenLocal("termlink-1", listener), kErrorPathNotFound);
  EXPECT_EQ(startLocalConnect("termlink-1", socket), kErrorPathNotFound);
}

}  // namespace
}  // namespace vorn::platform
