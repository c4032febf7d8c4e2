# Project-wide helpers: warnings, tests, benchmarks and fuzz targets.

function(zeno_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ZENO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# zeno_library(NAME <target> SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# A static library whose headers are included as "<folder>/<Header>.h"
# relative to the source root (e.g. "editor/memory/ParamAddress.h").
function(zeno_library)
  cmake_parse_arguments(Z "" "NAME" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${Z_NAME} STATIC ${Z_SOURCES})
  target_include_directories(${Z_NAME} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${Z_NAME} PUBLIC ${Z_PUBLIC_LIBS} PRIVATE ${Z_PRIVATE_LIBS})
  if(ZENO_FUZZ)
    target_compile_options(${Z_NAME} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
  zeno_warnings(${Z_NAME})
endfunction()

# zeno_gtest(NAME <exe> SOURCES ... LIBS ... [LABELS ...] [PROPERTIES ...])
# Every test executable runs under tests/support's main, which points HOME
# and the XDG folders at a private temporary folder and uses the offscreen
# Qt platform, so no test ever touches the real user's files or display.
function(zeno_gtest)
  cmake_parse_arguments(Z "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  add_executable(${Z_NAME} ${Z_SOURCES})
  target_link_libraries(${Z_NAME} PRIVATE zeno_test_main ${Z_LIBS})
  zeno_warnings(${Z_NAME})
  if(NOT Z_TIMEOUT)
    set(Z_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${Z_TIMEOUT})
  if(Z_LABELS)
    # Discovered tests get their properties through a generated script that
    # cannot carry a list value, so a second label would silently turn into a
    # bogus property and drop whatever follows. Refuse it instead.
    list(LENGTH Z_LABELS label_count)
    if(label_count GREATER 1)
      message(FATAL_ERROR "zeno_gtest(${Z_NAME}): give one label, not '${Z_LABELS}'")
    endif()
    list(APPEND props LABELS ${Z_LABELS})
  endif()
  gtest_discover_tests(${Z_NAME}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ${props} ${Z_PROPERTIES})
endfunction()

# zeno_bench(NAME <exe> SOURCES ... LIBS ...)
function(zeno_bench)
  cmake_parse_arguments(Z "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${Z_NAME} ${Z_SOURCES})
  target_link_libraries(${Z_NAME} PRIVATE benchmark::benchmark zeno_bench_main ${Z_LIBS})
  zeno_warnings(${Z_NAME})
endfunction()

# zeno_fuzzer(NAME <exe> SOURCES ... LIBS ... CORPUS <dir> [RUNS n])
# With ZENO_FUZZ (clang) this is a libFuzzer target, and ctest runs it for a
# bounded number of inputs starting from the seed corpus. In ordinary builds
# the same entry point is linked with a replay driver and ctest replays the
# seed corpus, so every seed stays a regression test.
function(zeno_fuzzer)
  cmake_parse_arguments(Z "" "NAME;CORPUS;RUNS" "SOURCES;LIBS" ${ARGN})
  if(NOT Z_RUNS)
    set(Z_RUNS 5000)
  endif()
  add_executable(${Z_NAME} ${Z_SOURCES})
  target_link_libraries(${Z_NAME} PRIVATE ${Z_LIBS})
  zeno_warnings(${Z_NAME})
  if(ZENO_FUZZ)
    target_compile_options(${Z_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${Z_NAME} PRIVATE -fsanitize=fuzzer)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/${Z_NAME}_corpus")
    file(MAKE_DIRECTORY "${out}")
    add_test(NAME ${Z_NAME}
      COMMAND ${Z_NAME} -runs=${Z_RUNS} -max_total_time=120 -rss_limit_mb=2048 "${out}" "${Z_CORPUS}")
    set_tests_properties(${Z_NAME} PROPERTIES LABELS fuzz TIMEOUT 300
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${CMAKE_CURRENT_BINARY_DIR}/${Z_NAME}_home")
  else()
    target_link_libraries(${Z_NAME} PRIVATE zeno_fuzz_replay)
    add_test(NAME ${Z_NAME}_replay COMMAND ${Z_NAME} "${Z_CORPUS}")
    set_tests_properties(${Z_NAME}_replay PROPERTIES LABELS fuzz-replay TIMEOUT 120
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${CMAKE_CURRENT_BINARY_DIR}/${Z_NAME}_home")
  endif()
endfunction()
