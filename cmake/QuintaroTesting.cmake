# quintaro_add_test(NAME name SOURCES a.cpp ... [LIBS lib ...] [LABELS l ...] [TIMEOUT s])
# One Qt Test executable, registered with CTest, run on the offscreen platform.
function(quintaro_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} quintaro_test_support Qt6::Test)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  # A data and a configuration folder of the test's own: what the programs
  # keep there (the weather history, a display's settings) never reaches the
  # user's.
  set(_home ${PROJECT_BINARY_DIR}/test-home/${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUINTARO_SOURCE_DIR=${PROJECT_SOURCE_DIR};QUINTARO_BINARY_DIR=${PROJECT_BINARY_DIR};XDG_DATA_HOME=${_home}/data;XDG_CONFIG_HOME=${_home}/config"
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}")
endfunction()
