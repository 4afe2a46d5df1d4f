# libFuzzer targets: fuzz/Fuzz*.cpp beside a library, one program each,
# built only in a clang tree with X_FUZZ (scripts/fuzz makes one). The
# target x_fuzz builds them all; fuzz-targets.txt in the build tree lists
# their programs, and the test "fuzz" runs scripts/fuzz on this tree. The
# test command's sanitizer pass is such a tree, so the tests and the fuzz
# targets share one build.
option(X_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(X_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "X_FUZZ needs clang++ (libFuzzer)")
  endif()
  add_custom_target(x_fuzz)
endif()

function(x_fuzz_targets library)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/Fuzz*.cpp)
  foreach(src ${sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/platform/rtl/testing
      ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)
    target_link_libraries(${name} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${library}>" x_testing)
    add_dependencies(x_fuzz ${name})
    set_property(GLOBAL APPEND PROPERTY X_FUZZ_TARGETS ${name})
  endforeach()
endfunction()

# After every library: the list scripts/fuzz runs.
function(x_fuzz_finish)
  if(X_FUZZ)
    get_property(targets GLOBAL PROPERTY X_FUZZ_TARGETS)
    set(lines "")
    foreach(t ${targets})
      string(APPEND lines "$<TARGET_FILE:${t}>\n")
    endforeach()
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzz-targets.txt CONTENT "${lines}")
    # Two seconds a target in the test run; scripts/fuzz alone runs longer.
    # It runs its targets two at a time, beside the other tests.
    add_test(NAME fuzz COMMAND ${CMAKE_COMMAND} -E env JOBS=2
      ${CMAKE_SOURCE_DIR}/scripts/fuzz ${CMAKE_BINARY_DIR} 200000 2)
    set_tests_properties(fuzz PROPERTIES TIMEOUT 1800 PROCESSORS 2)
  endif()
endfunction()
