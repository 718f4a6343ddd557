# Holds the source folders to the layers (run by CTest as a script):
#   cmake -DSRC=<folders' parent> -DLAYERS=<layers.cmake> [-DQT_ADAPTERS=<files>] -P check_layers.cmake
# LAYERS names the core folders and, per folder, the folders its targets link.
# A core folder includes no Qt header; every folder includes headers only of
# itself and of the folders it links. QT_ADAPTERS lists files (relative to
# SRC) of core folders that are built into targets of their own linking Qt;
# one that no longer exists is an error, so the list cannot outlive them.
cmake_policy(VERSION 3.25)
get_filename_component(SRC "${SRC}" ABSOLUTE)
include(${LAYERS})

set(faults)
foreach(adapter IN LISTS QT_ADAPTERS)
  if(NOT EXISTS ${SRC}/${adapter})
    list(APPEND faults "${adapter}: listed as a Qt adapter but missing")
  endif()
endforeach()

foreach(folder IN LISTS SONABANK_LAYER_FOLDERS)
  if(NOT IS_DIRECTORY ${SRC}/${folder})
    list(APPEND faults "${folder}: no such folder")
    continue()
  endif()
  list(FIND SONABANK_CORE_FOLDERS ${folder} core)
  file(GLOB_RECURSE files RELATIVE ${SRC} ${SRC}/${folder}/*.h ${SRC}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${SRC}/${file} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      if(core GREATER -1 AND NOT file IN_LIST QT_ADAPTERS
         AND line MATCHES "<(Qt[A-Za-z]*/)?Q[A-Za-z0-9_]*>|<q[a-z0-9_]*\\.h>")
        list(APPEND faults "${file}: a core folder includes Qt: ${line}")
      endif()
      if(line MATCHES "\"([a-z_]+)/[^\"]*\"" AND NOT CMAKE_MATCH_1 IN_LIST SONABANK_LINKS_${folder})
        list(APPEND faults "${file}: ${folder} does not link ${CMAKE_MATCH_1}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Layer faults:\n  ${text}")
endif()
