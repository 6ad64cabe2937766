# POSIX implementation of the core services: errors, root, registry, event
# log, files, clock, process, event loop.
target_sources(vorn_platform PRIVATE
  posix/error.cpp
  posix/root.cpp
  posix/reg_key_tree.cpp
  posix/reg_parser.cpp
  posix/reg_writer.cpp
  posix/registry.cpp
  posix/event_log.cpp
  posix/file.cpp
  posix/host_path.cpp
  posix/clock.cpp
  posix/event_loop.cpp
  posix/process.cpp
)
