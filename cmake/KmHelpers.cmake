# SPDX-License-Identifier: MIT
# Shared build settings and small helpers for the project's targets.

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(KM_WERROR)
  add_compile_options(-Werror)
endif()
if(KM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KM_FUZZ needs clang (libFuzzer); use the fuzz preset")
  endif()
  # Every library is instrumented for coverage; only the fuzz targets link
  # libFuzzer's main (-fsanitize=fuzzer in fuzz/CMakeLists.txt).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
add_compile_definitions(QT_NO_KEYWORDS)

# km_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One QtTest executable registered with CTest. Every test runs with the offscreen
# platform so that tests which create widgets never need a display.
function(km_add_test name)
  if(NOT KM_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    TIMEOUT 300)
endfunction()
