# Fails when a library source outside the platform backend folders includes an operating-system,
# libcurl, FreeType or fontconfig header, or opens a file through the C library: such code belongs
# in src/platform/<backend>/, behind the platform's own headers, so that another backend can stand
# beside the POSIX one.
#   cmake -DSOURCE_DIR=<project> -DBACKENDS=posix[;...] -P CheckPlatformSeam.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR OR NOT BACKENDS)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=dir -DBACKENDS=list -P CheckPlatformSeam.cmake")
endif()

# Headers of a system or of a library that only a backend may be written on.
set(forbidden
  "unistd\\.h" "fcntl\\.h" "sys/.*" "dlfcn\\.h" "strings\\.h" "pthread\\.h" "poll\\.h"
  "termios\\.h" "pty\\.h" "dirent\\.h" "netdb\\.h" "netinet/.*" "arpa/.*" "spawn\\.h"
  "curl/.*" "ft2build\\.h" "freetype/.*" "FT_[A-Z0-9_]+_H" "fontconfig/.*"
  "windows\\.h" "winbase\\.h" "wininet\\.h" "winsock2?\\.h" "ws2tcpip\\.h" "mmsystem\\.h"
  "io\\.h" "direct\\.h" "process\\.h" "shlwapi\\.h" "commctrl\\.h")
list(JOIN forbidden "|" forbidden_names)
# Files are the platform's too, though <cstdio> itself is portable.
set(forbidden_calls "(^|[^A-Za-z0-9_])(fopen|freopen|tmpfile|popen)[ \t]*\\(")
list(JOIN BACKENDS "|" backend_names)

file(GLOB_RECURSE sources "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/src/*.c")
list(FILTER sources EXCLUDE REGEX "/src/platform/(${backend_names})/")
set(offences "")
foreach(source ${sources})
  file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${includes})
    if(line MATCHES "#[ \t]*include[ \t]*[<\"]?(${forbidden_names})[>\"]?([ \t]|/|$)")
      file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
      string(STRIP "${line}" line)
      list(APPEND offences "  ${shown}: ${line}")
    endif()
  endforeach()
  file(STRINGS "${source}" calls REGEX "${forbidden_calls}")
  foreach(line ${calls})
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
    string(REPLACE ";" "" line "${line}")
    string(STRIP "${line}" line)
    list(APPEND offences "  ${shown}: ${line}")
  endforeach()
endforeach()

list(LENGTH sources checked)
if(offences)
  list(JOIN offences "\n" report)
  message(FATAL_ERROR "System services outside src/platform/{${backend_names}}/:\n${report}\n"
                      "Move the code into a backend and reach it through a platform header.")
endif()
message(STATUS "Platform seam holds: ${checked} library sources use no system service directly")
