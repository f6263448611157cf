# Helpers shared by every module folder.

set(TIDEWELL_WARNINGS -Wall -Wextra -Wpedantic)
# GCC 12 warns about every optimised "text" + std::string as an overlapping memcpy inside the
# standard library (a known false alarm of that release); it says nothing about our code.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND TIDEWELL_WARNINGS -Wno-restrict)
endif()

# The checked builds link a few hundred test and fuzz executables.  Line tables (-g1) are
# all the sanitizers need for their reports, and compressed debug sections keep the whole
# build to a size a CI machine's disk can hold.
set(TIDEWELL_LEAN_DEBUG -g1 -gz)
# GCC leaves a double too large for the integer or float it is converted to out of "undefined":
# that check is asked for by name.  The standard library checks its own preconditions too (an
# index past a container's size, which the address checks miss while it stays within capacity).
if(TIDEWELL_SANITIZE)
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
  add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined,float-cast-overflow ${TIDEWELL_LEAN_DEBUG})
  add_link_options(-fsanitize=address,undefined,float-cast-overflow -gz)
endif()
if(TIDEWELL_FUZZ)
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer ${TIDEWELL_LEAN_DEBUG})
  add_link_options(-fsanitize=address,undefined -gz)
endif()

# Everything the program reads from its own folder (tables, language file, help) is placed
# beside the executables, in this folder.
set(TIDEWELL_PROGRAM_DIR ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${TIDEWELL_PROGRAM_DIR})

# tidewell_library(<target> SOURCES <files...> [DEPS <targets...>] [PKG <pkg-config modules...>])
# One static library per module folder; the repository root is the include root, so headers
# are included as "platform/rtl/sysutils.h".
function(tidewell_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PKG" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_compile_options(${target} PRIVATE ${TIDEWELL_WARNINGS})
  if(ARG_DEPS)
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  endif()
  if(ARG_PKG)
    find_package(PkgConfig REQUIRED)
    foreach(pkg IN LISTS ARG_PKG)
      string(MAKE_C_IDENTIFIER ${pkg} pkgid)
      pkg_check_modules(PKG_${pkgid} REQUIRED IMPORTED_TARGET ${pkg})
      target_link_libraries(${target} PUBLIC PkgConfig::PKG_${pkgid})
    endforeach()
  endif()
endfunction()

# tidewell_tests(<target> SOURCES <files...> DEPS <targets...> [LOCK <resource>])
# One GoogleTest executable per module; CTest lists every test case on its own.  Cases of a
# target with a LOCK never run beside another case holding the same lock (the shared X server:
# windows of two test processes on one display take each other's focus).
# The environment and the lock are set by a file of our own that CTest reads after the list of
# discovered cases: properties handed to the discovery are flattened into one list, which splits
# a two-variable ENVIRONMENT and loses everything after it.
function(tidewell_tests target)
  if(NOT TIDEWELL_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "LOCK" "SOURCES;DEPS" ${ARGN})
  set(lock)
  if(ARG_LOCK)
    set(lock " RESOURCE_LOCK ${ARG_LOCK}")
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_compile_options(${target} PRIVATE ${TIDEWELL_WARNINGS})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest_main)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  include(GoogleTest)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    TEST_LIST ${target}_TESTS)
  set(properties "${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake")
  file(WRITE "${properties}"
    "if(DEFINED ${target}_TESTS)\n"
    "  set_tests_properties(\${${target}_TESTS} PROPERTIES\n"
    "    ENVIRONMENT \"TIDEWELL_SOURCE_DIR=${PROJECT_SOURCE_DIR};TIDEWELL_PROGRAM_DIR=${TIDEWELL_PROGRAM_DIR}\"${lock})\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${properties}")
endfunction()

# tidewell_bench(<target> SOURCES <files...> DEPS <targets...>)
# In the checked test build (sanitizers) each benchmark binary is built too and runs once as
# a test: one iteration of every benchmark but those over 100,000 records or more, so that
# every binary is shown to start, run and end (static destruction included) cleanly.
function(tidewell_bench target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(TIDEWELL_BENCH)
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} benchmark::benchmark_main)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
    set_property(GLOBAL APPEND PROPERTY TIDEWELL_BENCH_TARGETS ${target})
  elseif(TIDEWELL_TESTS AND TIDEWELL_SANITIZE)
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} benchmark::benchmark_main)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${target}.runs-once
             COMMAND ${target} --benchmark_min_time=0 --benchmark_filter=-/[0-9][0-9][0-9][0-9][0-9][0-9]
             WORKING_DIRECTORY ${TIDEWELL_PROGRAM_DIR})
    set_tests_properties(${target}.runs-once PROPERTIES
      ENVIRONMENT "TIDEWELL_SOURCE_DIR=${PROJECT_SOURCE_DIR};TIDEWELL_PROGRAM_DIR=${TIDEWELL_PROGRAM_DIR}")
  endif()
endfunction()

# tidewell_fuzz(<target> SOURCE <file> DEPS <targets...> [CORPUS <dir>])
# The source defines LLVMFuzzerTestOneInput.  Under TIDEWELL_FUZZ it becomes a libFuzzer
# binary; in every other test build it is linked with a small driver that replays the corpus
# folder and a set of generated damaged inputs, and runs as an ordinary test.
function(tidewell_fuzz target)
  cmake_parse_arguments(ARG "" "SOURCE;CORPUS" "DEPS" ${ARGN})
  if(NOT ARG_CORPUS)
    set(ARG_CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${target})
  endif()
  if(TIDEWELL_FUZZ)
    add_executable(${target} ${ARG_SOURCE})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    set_property(GLOBAL APPEND PROPERTY TIDEWELL_FUZZ_TARGETS ${target})
    set_property(GLOBAL APPEND PROPERTY TIDEWELL_FUZZ_LINES "${target} ${ARG_CORPUS}")
  elseif(TIDEWELL_TESTS)
    add_executable(${target} ${ARG_SOURCE} ${PROJECT_SOURCE_DIR}/cmake/fuzz_replay_main.cpp)
    target_compile_options(${target} PRIVATE ${TIDEWELL_WARNINGS})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS})
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${target}.replay COMMAND ${target} ${ARG_CORPUS})
  endif()
endfunction()
