# Window tests (Windows build only): Python scripts that run Windows programs
# of the build under Wine on an Xvfb display and a Wine server of their own
# (each test module starts both and stops them by process id), type keys with
# xdotool and compare screenshots with what the programs drew.
if(NOT SG_WIN32)
  return()
endif()

add_executable(gui_probe ${CMAKE_CURRENT_SOURCE_DIR}/gui/gui_probe.cpp)
target_link_libraries(gui_probe PRIVATE sg_gfx)
add_dependencies(gui_probe softglaze)  # the window tests run the tool too

file(GLOB gui_scripts CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/gui/test_*.py)
foreach(script IN LISTS gui_scripts)
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME gui_${name} COMMAND /usr/bin/python3 -m unittest -v ${name}
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/gui)
  set_tests_properties(gui_${name} PROPERTIES
    RUN_SERIAL TRUE
    TIMEOUT 600
    ENVIRONMENT "SG_BUILD_DIR=${CMAKE_BINARY_DIR};SG_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endforeach()
