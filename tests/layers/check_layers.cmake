# Compiles one include per row against a library's include root and expects
# it to build (down) or to be refused for want of the file (up or beside).
set(cases
  "talvaro_core|core/port_table.h|builds"
  "talvaro_core|link/serial.h|refused"
  "talvaro_panel|panel/display.h|builds"
  "talvaro_panel|panel/poll/poll.h|refused"
  "talvaro_tuning|banks/bank_ops.h|refused"
  "talvaro_start|panel/poll/events.h|builds"
  "talvaro_files|voice/voice.h|refused")

set(failures "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 library)
  list(GET fields 1 header)
  list(GET fields 2 expected)
  set(probe ${WORK}/probe.cpp)
  file(WRITE ${probe} "#include \"${header}\"\n")
  execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only -I ${ROOTS}/${library} ${probe}
                  RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(status EQUAL 0)
    set(outcome builds)
  elseif(errors MATCHES "No such file or directory")
    set(outcome refused)
  else()
    set(outcome "fails otherwise: ${errors}")
  endif()
  if(NOT outcome STREQUAL expected)
    string(APPEND failures "${library} including ${header}: expected ${expected}, ${outcome}\n")
  endif()
endforeach()

# An include is searched first beside the including file, where no include
# root can stop it: every include of the sources names a path under src/ (or
# under generated/ of the build folder, for a generated header).
file(GLOB_RECURSE sources ${SOURCES}/*.cpp ${SOURCES}/*.h)
foreach(source IN LISTS sources)
  file(STRINGS ${source} includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]*)\".*" "\\1" name "${line}")
    if(name MATCHES "\\.\\." OR NOT (EXISTS ${SOURCES}/${name} OR EXISTS ${GENERATED}/${name}))
      string(APPEND failures "${source}: #include \"${name}\" is not a path under src/\n")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
