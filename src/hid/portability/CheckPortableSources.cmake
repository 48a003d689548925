# SPDX-License-Identifier: MIT
# Fails when a program source outside the Linux backends uses a Linux- or
# POSIX-only header or a Linux device path. Tests and benchmarks are not
# shipped and may (docs/porting.md lists what they use).
# Usage: cmake -DSOURCE_DIR=<repository> -P CheckPortableSources.cmake
cmake_minimum_required(VERSION 3.25)

# The Linux backends: the udev monitor and hidapi's hidraw report descriptor;
# the journal's file calls, one source per platform (the Windows C runtime has
# its own <fcntl.h> and <sys/stat.h>); the atomic save's device and pipe
# checks, which stand under Q_OS_UNIX with a plain QSaveFile path elsewhere;
# the reading table's mapping of pages ahead, one source per platform.
set(allowed
  src/files/AtomicFile.cpp
  src/hid/SystemHidChangeNotifier.cpp
  src/hid/HidapiSystemCalls.cpp
  src/recording/PagePrefault_linux.cpp
  src/journal/JournalFile_posix.cpp
  src/journal/JournalFile_windows.cpp)
set(pattern
  "#[ \t]*include[ \t]*<(unistd|fcntl|poll|termios|dlfcn|libudev|pwd|grp|syslog)\\.h>|#[ \t]*include[ \t]*<(sys|linux)/|\"/(dev|sys|proc|run)/")

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}"
  "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/src/*.h"
  "${SOURCE_DIR}/tools/*.cpp" "${SOURCE_DIR}/tools/*.h")
set(found "")
foreach(source IN LISTS sources)
  if(source MATCHES "/tests/" OR source MATCHES "^src/hid/portability/" OR source IN_LIST allowed)
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${source}" lines REGEX "${pattern}")
  foreach(line IN LISTS lines)
    string(APPEND found "  ${source}: ${line}\n")
  endforeach()
endforeach()
list(LENGTH sources count)
if(found)
  message(FATAL_ERROR "Linux-only code outside the Linux backends:\n${found}")
endif()
message(STATUS "${count} sources checked: no Linux-only header or path outside the Linux backends")
