// What the platform must still do when a process ends through exitProcess,
// which runs no destructors (a service's threads are never joined): remove
// the sockets that stand for its named pipes, say. Each part of the platform
// that needs it registers its action once.
#pragma once

namespace vorn::platform::posix {

using ExitAction = void (*)();

// Registers `action`; at most a handful are ever registered (more are
// ignored). Safe from any thread.
void atProcessExit(ExitAction action);

// Runs the registered actions, in the order they came; exitProcess does so.
void runExitActions();

}  // namespace vorn::platform::posix
