# x_library(<target> [LIBS <our libraries...>] [DEPS <external libraries...>]
#           [TEST_DEPS <libraries...>])
# One static library per folder: every .cpp of the folder (not of its
# sub-folders) goes in; tests/*.cpp become one GoogleTest binary, and in a
# fuzz build (X_FUZZ) each fuzz/Fuzz*.cpp one libFuzzer program.
# Our own libraries are always linked as whole archives, so that class and
# unit registrations in object files nobody references by symbol still reach
# the program.
# The folder includes of a library start from: platform/ and framework/ for
# their libraries, the source root for a program's library.
function(x_include_root out)
  get_filename_component(parent ${CMAKE_CURRENT_SOURCE_DIR} DIRECTORY)
  get_filename_component(tree ${parent} NAME)
  if(tree STREQUAL "platform" OR tree STREQUAL "framework")
    set(${out} ${parent} PARENT_SCOPE)
  else()
    set(${out} ${CMAKE_SOURCE_DIR} PARENT_SCOPE)
  endif()
endfunction()

# Unity builds (CMAKE_UNITY_BUILD, used by the test command) put several
# sources in one compile. Xlib's headers define Time, Screen and friends as
# global types, so sources that include them stay on their own.
function(x_unity_exclusions sources)
  foreach(source ${sources})
    file(STRINGS ${source} x11 REGEX "#include <X11/")
    if(x11)
      set_source_files_properties(${source} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  endforeach()
endfunction()

# A test program runs as X_TEST_SHARDS CTest entries, each a GoogleTest
# shard of its tests in one process: one process per test costs more than
# most tests (a sanitizer's start alone), and shards still spread a large
# program over the cores. A single test runs as
# "<program> --gtest_filter=Suite.Name".
set(X_TEST_SHARDS 4 CACHE STRING "CTest entries per test program")
function(x_test_shards program)
  math(EXPR last "${X_TEST_SHARDS} - 1")
  foreach(shard RANGE ${last})
    add_test(NAME ${program}/${shard} COMMAND ${program} --gtest_brief=1
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${program}/${shard} PROPERTIES ENVIRONMENT
      "X_SOURCE_DIR=${CMAKE_SOURCE_DIR};X_BINARY_DIR=${CMAKE_BINARY_DIR};GTEST_TOTAL_SHARDS=${X_TEST_SHARDS};GTEST_SHARD_INDEX=${shard}")
  endforeach()
endfunction()

function(x_library target)
  cmake_parse_arguments(X "" "" "LIBS;DEPS;TEST_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${target} STATIC ${sources})
  x_unity_exclusions("${sources}")
  # One include root per library tree: "rtl/Streams.h", "core/XCore.Engine.h",
  # "sorvane/XDR.Work.P.h" name the library they come from.
  x_include_root(root)
  target_include_directories(${target} PUBLIC ${root})
  foreach(lib ${X_LIBS})
    target_link_libraries(${target} PUBLIC "$<LINK_LIBRARY:WHOLE_ARCHIVE,${lib}>")
  endforeach()
  target_link_libraries(${target} PUBLIC ${X_DEPS})

  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(tests)
    add_executable(${target}_tests ${tests})
    x_unity_exclusions("${tests}")
    target_link_libraries(${target}_tests PRIVATE
      "$<LINK_LIBRARY:WHOLE_ARCHIVE,${target}>" ${X_TEST_DEPS}
      x_test_main GTest::gtest GTest::gmock)
    target_include_directories(${target}_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
    # GoogleTest's assertion macros expand to if/else, so a plain
    # "if (x) EXPECT_...;" is correct but draws this warning.
    target_compile_options(${target}_tests PRIVATE -Wno-dangling-else)
    # Test code is mostly GoogleTest macros: optimising it barely changes the
    # run and doubles the compile. The code under test keeps its own flags.
    if(X_TEST_FLAGS)
      separate_arguments(test_flags UNIX_COMMAND "${X_TEST_FLAGS}")
      target_compile_options(${target}_tests PRIVATE ${test_flags})
    endif()
    x_test_shards(${target}_tests)
  endif()
  if(X_FUZZ)
    x_fuzz_targets(${target})
  endif()
endfunction()
