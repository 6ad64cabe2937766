# Helpers for test, benchmark and fuzz targets.
#
#   vorn_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>]
#                 [POSIX_ONLY <patterns...>])
#     A GoogleTest executable whose tests CTest discovers one by one, with the
#     CTest labels given (e.g. "realtime" for tests that take seconds); under an
#     emulator, where each process start is costly, one CTest test runs the
#     whole program. Tests matching a POSIX_ONLY pattern (gtest filter syntax)
#     check what only the POSIX platform shows (a fatal error's message on
#     standard error, where Windows shows a message box; the event log file;
#     the message table's gaps) and are left out of the Windows run.
#   vorn_add_fuzzer(<name> SOURCES <files...> LIBS <targets...>)
#     A libFuzzer target (only in a VORN_FUZZ build).

# The files of a test program are compiled four at a time as one unit (a
# unity build): each file alone spends about half its time on the same
# headers and GoogleTest's templates, and the suite is compiled three times a
# run. The units name their files relative to the checkout, so that a clone
# in another folder hits the compiler cache (CMake's own unity files name them
# by absolute path). A file given through a generator expression is compiled
# alone. Sets <out> to the sources to compile.
function(vorn_unity_sources out name)
  set(sources)
  set(includes)
  foreach(source IN LISTS ARGN)
    list(APPEND sources ${source})
    if(NOT source MATCHES "\\.cpp$" OR source MATCHES "^\\$<")
      continue()
    endif()
    get_filename_component(path ${source} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${path})
    set_source_files_properties(${source} PROPERTIES HEADER_FILE_ONLY ON)
    list(APPEND includes "#include \"${relative}\"\n")
  endforeach()
  list(LENGTH includes count)
  set(first 0)
  while(first LESS count)
    list(SUBLIST includes ${first} 4 batch)
    string(JOIN "" content ${batch})
    math(EXPR index "${first} / 4")
    set(unit ${CMAKE_CURRENT_BINARY_DIR}/${name}_unity_${index}.cpp)
    file(CONFIGURE OUTPUT ${unit} CONTENT "${content}" @ONLY)
    list(APPEND sources ${unit})
    math(EXPR first "${first} + 4")
  endwhile()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

function(vorn_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;POSIX_ONLY" ${ARGN})
  vorn_unity_sources(sources ${name} ${ARG_SOURCES})
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(environment "VORN_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
  if(CMAKE_CROSSCOMPILING)
    set(filter)
    if(WIN32 AND ARG_POSIX_ONLY)
      list(JOIN ARG_POSIX_ONLY ":" excluded)
      set(filter "--gtest_filter=-${excluded}")
    endif()
    add_test(NAME ${name} COMMAND ${name} ${filter})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}")
    if(ARG_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
  else()
    # Every PDF a test leaves in its temporary root is kept for pdf_files_check,
    # which runs after the tests that make them.
    set(properties ENVIRONMENT "${environment}"
        ENVIRONMENT_MODIFICATION "VORN_PDF_COLLECT=set:${VORN_PDF_COLLECTION}"
        FIXTURES_REQUIRED pdf_collection)
    if(ARG_LABELS)
      list(APPEND properties LABELS "${ARG_LABELS}")
    endif()
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 60
      PROPERTIES ${properties})
  endif()
endfunction()

function(vorn_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  add_dependencies(fuzzers ${name})
endfunction()
