# POSIX implementation of the network seam: stream sockets (TCP and local).
target_sources(vorn_platform PRIVATE
  posix/socket.cpp
)
