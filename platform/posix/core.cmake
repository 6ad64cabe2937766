# POSIX implementation of the core services: errors, root, registry, event
# log, files, clock, process, event loop.
target_sources(vorn_platform PRIVATE
  posix/event_loop.cpp
  posix/process.cpp
)
