// The pidfd calls (pidfd_open, pidfd_send_signal). glibc 2.36's
// <sys/pidfd.h> declares them without C linkage, so it is included here in a
// linkage block; the headers it pulls in come first, with their own.
#pragma once

#include <fcntl.h>
#include <signal.h>

extern "C" {
#include <sys/pidfd.h>
}
