# SPDX-License-Identifier: GPL-3.0-or-later
# The program's libraries, one per layer and subsystem:
#
#   nx_base                 QtCore only: clock, prompter, status view, files, messages
#   nx_<sub>_core           a subsystem's state and operations (QtCore, serial, network)
#   nx_widgets              what every window shares: the named-widget helper, the icons
#   nx_<sub>_gui            a subsystem's windows and its commands
#   nx_app                  the main window and start-up, on top of everything
#
# Dependencies point one way: base <- core <- gui <- app. scripts/check-layers.py
# checks the includes against the same rule.

# nx_platform_sources(<list variable>)
# Files ending in Posix.cpp are built on every system but Windows, files
# ending in Win32.cpp on Windows only: the two halves of one seam.
function(nx_platform_sources var)
  set(files ${${var}})
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "Posix\\.cpp$")
  else()
    list(FILTER files EXCLUDE REGEX "Win32\\.cpp$")
  endif()
  set(${var} ${files} PARENT_SCOPE)
endfunction()

# nx_subsystem(<name> [DEPS <lower subsystem>...] [GUI_DEPS <subsystem>...])
# Declares src/<name>/core (nx_<name>_core) and src/<name>/gui (nx_<name>_gui)
# from the files present. A core links base and the cores of DEPS; a gui
# links its own core, the cores of DEPS and GUI_DEPS, and nx_widgets. A
# CMakeLists.txt in src/<name> may add resources afterwards.
function(nx_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS;GUI_DEPS" ${ARGN})
  set(dir ${PROJECT_SOURCE_DIR}/src/${name})
  set(dep_cores)
  foreach(dep ${ARG_DEPS})
    if(TARGET nx_${dep}_core)
      list(APPEND dep_cores nx_${dep}_core)
    endif()
  endforeach()
  file(GLOB core_sources CONFIGURE_DEPENDS ${dir}/core/*.cpp ${dir}/core/*.h)
  nx_platform_sources(core_sources)
  if(core_sources)
    add_library(nx_${name}_core STATIC ${core_sources})
    target_link_libraries(nx_${name}_core PUBLIC nx_base ${dep_cores})
    target_precompile_headers(nx_${name}_core REUSE_FROM nx_base)
    set(own_core nx_${name}_core)
  endif()
  file(GLOB gui_sources CONFIGURE_DEPENDS ${dir}/gui/*.cpp ${dir}/gui/*.h)
  nx_platform_sources(gui_sources)
  if(gui_sources)
    set(gui_cores)
    foreach(dep ${ARG_GUI_DEPS})
      if(TARGET nx_${dep}_core)
        list(APPEND gui_cores nx_${dep}_core)
      endif()
    endforeach()
    add_library(nx_${name}_gui STATIC ${gui_sources})
    target_link_libraries(nx_${name}_gui PUBLIC ${own_core} ${dep_cores} ${gui_cores} nx_widgets)
    target_precompile_headers(nx_${name}_gui REUSE_FROM nx_widgets)
  endif()
  if(EXISTS ${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()
