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

# A compiler cache when the machine has one. Paths under the source folder
# are hashed relative to it and the build folder is left out of the hash, so
# a fresh clone in another folder hits what an earlier build compiled. In
# depend mode a miss is not preprocessed a second time for the cache: the
# compiler's own dependency file (-MD) names the headers to hash.
find_program(VORN_CCACHE ccache)
if(VORN_CCACHE)
  set(launcher env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1 CCACHE_DEPEND=1 ${VORN_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()

# mold links the Linux programs in under half of ld.bfd's time (the sanitizer
# build's 39 links: 22 s against 49 s). The mingw-w64 cross build keeps its own
# ld: mold does not write PE files, and lld measured no faster there.
if(NOT VORN_LINKER AND NOT WIN32)
  find_program(VORN_MOLD mold)
  if(VORN_MOLD)
    set(VORN_LINKER mold)
  endif()
endif()
if(VORN_LINKER)
  add_link_options(-fuse-ld=${VORN_LINKER})
endif()
# mold 1.10 may start the RELRO segment at a thread-local .tbss left in the
# page before the writable segment, which the loader then cannot protect
# ("cannot apply additional memory protection after relocation"); every
# segment on pages of its own keeps RELRO page-aligned.
if(VORN_LINKER STREQUAL "mold")
  add_link_options(-Wl,-z,separate-loadable-segments)
endif()
