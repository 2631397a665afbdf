set(VELTRANE_TEST_HOMES
  "XDG_STATE_HOME=${CMAKE_BINARY_DIR}/test-home/state;XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-home/cache")

# veltrane_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One QtTest executable per area; widget tests run on the offscreen platform. Install logs and
# working files go to a folder of the build, never to the user's own.
function(veltrane_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  qt_add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VELTRANE_BUILD_DIR=${CMAKE_BINARY_DIR};${VELTRANE_TEST_HOMES}"
    TIMEOUT 300)
endfunction()
