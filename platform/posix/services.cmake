# POSIX implementation of the services the print service and its control
# utility use: named pipes and the service control manager.
target_sources(vorn_platform PRIVATE
  posix/seqpacket.cpp
  posix/named_pipe.cpp
  posix/json_object.cpp
  posix/service_database.cpp
  posix/service_launch.cpp
  posix/service_control.cpp
  posix/service_dispatcher.cpp
  posix/manager_events.cpp
)
