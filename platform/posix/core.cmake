# POSIX implementation of the core services: errors, root, registry, event
# log, files, clock, process, event loop.
target_sources(vorn_platform PRIVATE
  posix/error.cpp
  posix/root.cpp
  posix/registry.cpp
  posix/registry_file.cpp
  posix/event_log.cpp
  posix/file.cpp
  posix/folder_probe.cpp
  posix/host_path.cpp
  posix/clock.cpp
  posix/event_loop.cpp
  posix/process.cpp
)
