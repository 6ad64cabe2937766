# Build options shared by every target: sanitizers, fuzzing. Warnings are
# errors through the presets (CMakePresets.json, "warnings").
option(VORN_BUILD_TESTS "Build the test suite" ON)
option(VORN_BUILD_BENCH "Build the benchmarks" ON)
option(VORN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VORN_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

# GCC 12 at -O3 reports -Wrestrict wrongly inside std::string concatenation
# (a known libstdc++/GCC false positive), which would break Release builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()

if(VORN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(VORN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VORN_FUZZ needs clang (configure with the fuzz preset)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  set(VORN_BUILD_TESTS OFF CACHE BOOL "" FORCE)
  set(VORN_BUILD_BENCH OFF CACHE BOOL "" FORCE)
endif()
