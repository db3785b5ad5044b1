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

# GoogleTest from the sources Debian ships, built with our own flags.
set(TP_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
function(tp_add_googletest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TP_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endfunction()
