# Compiles every translation unit of one layer for Windows, syntax only, against the real
# Windows SDK headers of the cross compiler (which defines _WIN32, so platform/win32/Win32.h takes
# the SDK and none of our own Win32 subset). Run by CTest:
#   cmake -DTOOLCHAIN=... -DSOURCE_DIR=... -DLAYER=... -DINCLUDE_DIRS=a|b|c -P WindowsSyntaxCheck.cmake
# INCLUDE_DIRS: the host's Qt headers and a folder holding only Boost, never a host system folder
# (its C library headers would stand in for Windows').
foreach(variable TOOLCHAIN SOURCE_DIR LAYER INCLUDE_DIRS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "WindowsSyntaxCheck: ${variable} not given")
  endif()
endforeach()
include(${TOOLCHAIN})
find_program(compiler ${CMAKE_CXX_COMPILER})
if(NOT compiler)
  message(FATAL_ERROR "${CMAKE_CXX_COMPILER} not found")
endif()

string(REPLACE "|" ";" include_dirs "${INCLUDE_DIRS}")
set(flags -std=c++17 -fsyntax-only -Wall -Wextra -Werror -H -DBOOST_ALL_NO_LIB
          -I${SOURCE_DIR}/src)
foreach(dir IN LISTS include_dirs)
  list(APPEND flags -isystem ${dir})
endforeach()

file(GLOB sources ${SOURCE_DIR}/src/${LAYER}/*.cpp)
if(NOT sources)
  message(FATAL_ERROR "no translation units in src/${LAYER}")
endif()
set(failed "")
foreach(source IN LISTS sources)
  file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
  execute_process(COMMAND ${compiler} ${flags} ${source}
                  RESULT_VARIABLE result ERROR_VARIABLE output OUTPUT_QUIET)
  # -H lists every header read, one a line, led by dots.
  string(REGEX MATCHALL "\n?\\.+ [^\n]*/src/platform/[^\n]*" platform_headers "${output}")
  set(subset "")
  foreach(line IN LISTS platform_headers)
    if(NOT line MATCHES "/src/platform/win32/Win32\\.h$")
      string(STRIP "${line}" line)
      list(APPEND subset "${line}")
    endif()
  endforeach()
  string(REGEX REPLACE "(^|\n)\\.+ [^\n]*" "" diagnostics "${output}")
  string(REGEX REPLACE "(^|\n)Multiple include guards may be useful for:[^\n]*(\n[^\n.][^\n]*)*" ""
         diagnostics "${diagnostics}")
  if(NOT result EQUAL 0)
    message("${name}: does not compile for Windows\n${diagnostics}")
    list(APPEND failed ${name})
  elseif(subset)
    string(REPLACE ";" "\n  " subset "${subset}")
    message("${name}: reads our Win32 subset instead of the SDK:\n  ${subset}")
    list(APPEND failed ${name})
  endif()
endforeach()
list(LENGTH sources count)
if(failed)
  message(FATAL_ERROR "src/${LAYER}: ${count} units, failed: ${failed}")
endif()
message("src/${LAYER}: ${count} units compile for Windows")
