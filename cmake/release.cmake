# What makes a release: the one version number (the project's), written
# into a header the resource scripts and probe-host include, and builds
# that do not depend on where or when they are made, so that anyone can
# rebuild a release from its commit and check it against SHA256SUMS.

set(TP_PRODUCT_NAME "terrain-probe")
# The owner's line; the project's licence is theirs to choose (LICENSE.txt).
set(TP_COPYRIGHT "Copyright (C) 2026 the terrain-probe authors")

set(tp_generated ${CMAKE_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/resources/tp_version.h.in ${tp_generated}/tp_version.h @ONLY)
add_library(tp_version INTERFACE)
target_include_directories(tp_version INTERFACE ${tp_generated})

if(NOT MSVC)
  # Paths are recorded relative to the source tree: in __FILE__, in the
  # debug information and in its compilation directory.
  target_compile_options(tp_options INTERFACE
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=./build>)
endif()
if(WIN32 AND NOT MSVC)
  # A PE header's time stamp is the link's time unless told otherwise.
  target_link_options(tp_options INTERFACE -Wl,--no-insert-timestamp)
endif()
