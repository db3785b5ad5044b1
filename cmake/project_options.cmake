# Compiler settings shared by every target of the project: warnings as
# errors for our own code, sanitizers for the native checking presets, and
# fully static runtimes for the Windows build so the DLL and the test
# programs need nothing beyond Windows' own DLLs.

add_library(tp_options INTERFACE)
if(MSVC)
  # A Windows developer's build of the module; the two builds here hold
  # the warnings-as-errors line.
  target_compile_options(tp_options INTERFACE /W4 /permissive-)
else()
  target_compile_options(tp_options INTERFACE -Wall -Wextra -Wpedantic -Werror)
endif()
target_include_directories(tp_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

if(WIN32 AND NOT MSVC)
  target_link_options(tp_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
if(WIN32)
  target_compile_definitions(tp_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX)
  # ctest runs the cross-built programs under Wine.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/cmake/wine-run)
endif()

if(TP_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(TP_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(TP_SANITIZE)
  message(FATAL_ERROR "TP_SANITIZE must be address, thread or empty")
endif()

# The C runtime the MinGW-w64 build links the module against: msvcrt.dll
# (the compiler's default) or the Universal CRT, the one MSVC links. The
# compiler has no switch for it, so a copy of the GCC driver's specs file
# (its built-in link rules) that links -lucrt where it links -lmsvcrt does it; the static winpthread's _setjmp is
# UCRT's __intrinsic_setjmp. Adds tp_crt_ucrt, an interface target that
# the module alone links: the programs that load it keep msvcrt, as a
# host and its add-on modules often use different runtimes.
set(TP_CRT "msvcrt" CACHE STRING "C runtime of the MinGW-w64 module: msvcrt or ucrt")
if(TP_CRT STREQUAL "ucrt")
  if(NOT (WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU"))
    message(FATAL_ERROR "TP_CRT=ucrt needs the MinGW-w64 cross build")
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpspecs
    OUTPUT_VARIABLE tp_driver_rules RESULT_VARIABLE tp_driver_rules_status)
  if(NOT tp_driver_rules_status EQUAL 0 OR NOT tp_driver_rules MATCHES "-lmsvcrt")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} -dumpspecs gave no driver link rules that name -lmsvcrt")
  endif()
  string(REPLACE "-lmsvcrt" "-lucrt" tp_driver_rules "${tp_driver_rules}")
  set(tp_driver_rules_file ${CMAKE_BINARY_DIR}/ucrt.specs)
  file(WRITE ${tp_driver_rules_file} "${tp_driver_rules}")
  add_library(tp_crt_ucrt INTERFACE)
  target_compile_options(tp_crt_ucrt INTERFACE -specs=${tp_driver_rules_file})
  target_compile_definitions(tp_crt_ucrt INTERFACE _UCRT)
  target_link_options(tp_crt_ucrt INTERFACE -specs=${tp_driver_rules_file} -Wl,--defsym,_setjmp=__intrinsic_setjmp)
elseif(NOT TP_CRT STREQUAL "msvcrt")
  message(FATAL_ERROR "TP_CRT must be msvcrt or ucrt")
endif()

# GoogleTest from the sources Debian ships, built with our own flags.
set(TP_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
function(tp_add_googletest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TP_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endfunction()
