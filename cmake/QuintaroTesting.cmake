# Cross-built for Windows on Linux, the tests run under wine: ctest starts
# each test program through scripts/windows/wine-run.sh (run ctest itself
# under `wine-run.sh --session`, as `make windows-test` does), with the Qt
# for MinGW the build uses. Paths handed to them name drive Z:, which is the
# Linux root for wine: a test that moves to a folder on drive C: still
# finds them.
if(WIN32 AND CMAKE_HOST_UNIX)
  get_filename_component(_quintaro_qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${PROJECT_SOURCE_DIR}/scripts/windows/wine-run.sh --qt ${_quintaro_qt_prefix})
  set(QUINTARO_TEST_DRIVE "Z:")
else()
  set(QUINTARO_TEST_DRIVE "")
endif()

# quintaro_add_test(NAME name SOURCES a.cpp ... [LIBS lib ...] [LABELS l ...] [TIMEOUT s])
# One Qt Test executable, registered with CTest, run on the offscreen platform
# (on Windows, which has none, on the windows platform).
function(quintaro_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  # In its own build folder on every platform: a test program finds no
  # program, read-me or weather display beside it unless the test puts one
  # there (Qt puts Windows programs together otherwise).
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} quintaro_test_support Qt6::Test)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  # A data and a configuration folder of the test's own: what the programs
  # keep there (the weather history, a display's settings) never reaches the
  # user's. Windows programs find theirs through the system (wine ignores
  # the XDG variables and the AppData ones alike), so there the weather
  # history is named instead; no test there writes a display's settings
  # unnamed.
  set(_home ${QUINTARO_TEST_DRIVE}${PROJECT_BINARY_DIR}/test-home/${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(_env
    "QUINTARO_SOURCE_DIR=${QUINTARO_TEST_DRIVE}${PROJECT_SOURCE_DIR}"
    "QUINTARO_BINARY_DIR=${QUINTARO_TEST_DRIVE}${PROJECT_BINARY_DIR}")
  if(WIN32)
    list(APPEND _env "QT_QPA_PLATFORM=windows" "QUINTARO_HISTORY=${_home}/data/quintaro/history.sqlite")
  else()
    list(APPEND _env "QT_QPA_PLATFORM=offscreen" "XDG_DATA_HOME=${_home}/data" "XDG_CONFIG_HOME=${_home}/config")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "${_env}"
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}")
endfunction()
