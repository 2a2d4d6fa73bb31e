# Layered libraries: each one compiles against an include root of its own,
# a folder in the build tree holding a symbolic link per header of that
# library and of the libraries below it, and nothing else. An #include of a
# header from a layer above (or beside) therefore fails with "No such file or
# directory". Links are made per header, so a layer in a subfolder (panel/poll)
# stays hidden from the layer of its parent folder (panel).

set(TALVARO_LAYER_ROOTS ${PROJECT_BINARY_DIR}/layers CACHE INTERNAL "Where the layers' include roots are made")

# talvaro_layer(name [USES library...] [SEES library...])
# A static library. USES: linked, and their headers visible. SEES: headers
# visible only (a platform service implementing an interface of the core,
# which the core links).
function(talvaro_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES;SEES")
  add_library(${name} STATIC)
  target_link_libraries(${name} PUBLIC ${arg_USES} PRIVATE talvaro_warnings)
  talvaro_include_root(${name} ${arg_USES} ${arg_SEES})
endfunction()

# talvaro_include_root(target library...)
# Gives any target (a library or a program) the include root made of its own
# headers and those of the libraries named, with everything below them.
function(talvaro_include_root target)
  set_property(TARGET ${target} PROPERTY TALVARO_SEES ${ARGN})
  set_property(GLOBAL APPEND PROPERTY TALVARO_ROOTED_TARGETS ${target})
  target_include_directories(${target} PRIVATE ${TALVARO_LAYER_ROOTS}/${target})
endfunction()

# talvaro_layer_sources(target SOURCES file... HEADERS file...)
# Sources and headers of the current folder; headers are named in the include
# root by their path under src/ ("panel/poll/poll.h"); a header generated
# into generated/ of the build folder, given by its full path, by its path
# under generated/.
function(talvaro_layer_sources target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;HEADERS")
  target_sources(${target} PRIVATE ${arg_SOURCES} ${arg_HEADERS})
  foreach(header IN LISTS arg_HEADERS)
    if(NOT IS_ABSOLUTE ${header})
      set(header ${CMAKE_CURRENT_SOURCE_DIR}/${header})
    endif()
    set_property(TARGET ${target} APPEND PROPERTY TALVARO_HEADERS ${header})
  endforeach()
endfunction()

# The headers a target may include: its own and, through what it sees, those
# of every layer below it. The targets above it on the way here are given
# after out, so that a layer that reaches back up is named, not followed.
function(talvaro_visible_headers target out)
  if(target IN_LIST ARGN)
    string(REPLACE ";" " -> " chain "${ARGN};${target}")
    message(FATAL_ERROR "The layers form a cycle: ${chain}")
  endif()
  get_property(headers TARGET ${target} PROPERTY TALVARO_HEADERS)
  get_property(below TARGET ${target} PROPERTY TALVARO_SEES)
  foreach(library IN LISTS below)
    talvaro_visible_headers(${library} more ${ARGN} ${target})
    list(APPEND headers ${more})
  endforeach()
  list(REMOVE_DUPLICATES headers)
  set(${out} ${headers} PARENT_SCOPE)
endfunction()

# Makes the include root of every target given one; called once, after all
# folders have named their headers. A root is made afresh each time, so a
# header taken out of a layer leaves no link behind.
function(talvaro_make_include_roots)
  get_property(targets GLOBAL PROPERTY TALVARO_ROOTED_TARGETS)
  foreach(target IN LISTS targets)
    set(root ${TALVARO_LAYER_ROOTS}/${target})
    file(REMOVE_RECURSE ${root})
    talvaro_visible_headers(${target} headers)
    foreach(header IN LISTS headers)
      file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR}/src ${header})
      if(name MATCHES "^\\.\\./")
        file(RELATIVE_PATH name ${PROJECT_BINARY_DIR}/generated ${header})
      endif()
      get_filename_component(folder ${root}/${name} DIRECTORY)
      file(MAKE_DIRECTORY ${folder})
      file(CREATE_LINK ${header} ${root}/${name} SYMBOLIC)
    endforeach()
  endforeach()
endfunction()
