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

function(vorn_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;POSIX_ONLY" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
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
