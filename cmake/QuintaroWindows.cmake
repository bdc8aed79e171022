# What a Windows program has besides its code: the icon (made from
# data/quintaro.xpm by scripts/windows/xpm-to-ico.py), a version resource
# Explorer shows, and the windows subsystem, so that starting it opens no
# console. Nothing on other platforms.
function(quintaro_windows_program target description)
  if(NOT WIN32)
    return()
  endif()
  set(icon ${PROJECT_BINARY_DIR}/quintaro.ico)
  if(NOT TARGET quintaro_icon)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_custom_command(
      OUTPUT ${icon}
      COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/windows/xpm-to-ico.py
              ${PROJECT_SOURCE_DIR}/data/quintaro.xpm ${icon}
      DEPENDS ${PROJECT_SOURCE_DIR}/scripts/windows/xpm-to-ico.py ${PROJECT_SOURCE_DIR}/data/quintaro.xpm
      COMMENT "Making the Windows icon")
    add_custom_target(quintaro_icon DEPENDS ${icon})
  endif()
  set(QUINTARO_ICON_FILE ${icon})
  set(QUINTARO_PROGRAM_NAME ${target})
  set(QUINTARO_PROGRAM_DESCRIPTION ${description})
  # "2.01" is version 2, 1 in the resource's numbers.
  math(EXPR QUINTARO_VERSION_MINOR_NUMBER "${PROJECT_VERSION_MINOR}")
  set(rc ${PROJECT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${icon})
  add_dependencies(${target} quintaro_icon)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE TRUE)
endfunction()
