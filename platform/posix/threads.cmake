# POSIX implementation of the services the print service stands on: threads,
# locks, named mutexes, events, waits, waitable timers, queued calls and child processes.
target_sources(vorn_platform PRIVATE
  posix/alertable_state.cpp
  posix/child_process.cpp
  posix/event.cpp
  posix/lock.cpp
  posix/named_mutex.cpp
  posix/process_handle.cpp
  posix/process_security.cpp
  posix/program_search.cpp
  posix/thread.cpp
  posix/wait.cpp
  posix/waitable_timer.cpp
)
