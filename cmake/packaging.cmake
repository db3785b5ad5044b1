# What a release holds, as install rules, and CPack's description of the
# two packages: the Windows build makes terrain-probe-VERSION-win64.zip,
# the native build terrain-probe_VERSION_amd64.deb. scripts/package builds
# both; `cmake --install` into a directory of your choice gives the same
# files as the package.

# The package targets are built by scripts/package itself; installing must
# not build the tests too.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(tp_docs ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md)

if(WIN32)
  install(TARGETS terrain_probe probe-host LIBRARY DESTINATION . RUNTIME DESTINATION .)
  install(FILES ${tp_docs} ${PROJECT_SOURCE_DIR}/LICENSE.txt DESTINATION .)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/notices/ DESTINATION notices)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples)
  # The DLL ships stripped (the debug information is most of its size); its
  # debug information goes beside it in terrain_probe.dll.debug, which the
  # DLL names in its .gnu_debuglink section, so gdb finds it there.
  install(CODE "
    set(tp_objcopy [[${CMAKE_OBJCOPY}]])
    include([[${PROJECT_SOURCE_DIR}/cmake/strip_release.cmake]])
  ")
else()
  set(tp_libdir lib/terrain-probe)
  # probe-host runs the module beside it, so both live in one directory
  # and the command on the path is a link to it.
  install(TARGETS terrain_probe probe-host LIBRARY DESTINATION ${tp_libdir} RUNTIME DESTINATION ${tp_libdir})
  # The native module has no resource section: its bitmaps travel beside it.
  install(FILES ${PROJECT_SOURCE_DIR}/resources/vorn.bmp ${PROJECT_SOURCE_DIR}/resources/display.bmp
          DESTINATION ${tp_libdir})
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(CREATE_LINK ../${tp_libdir}/probe-host \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/probe-host\" SYMBOLIC)
  ")
  set(tp_docdir share/doc/terrain-probe)
  install(FILES ${tp_docs} DESTINATION ${tp_docdir})
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE.txt DESTINATION ${tp_docdir} RENAME copyright)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${tp_docdir}/examples)
endif()

if(WIN32)
  # Last, over everything installed before it.
  install(CODE "include([[${PROJECT_SOURCE_DIR}/cmake/write_checksums.cmake]])")
endif()

set(CPACK_PACKAGE_NAME terrain-probe)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the terrain-probe authors")
set(CPACK_PACKAGE_CONTACT "the terrain-probe authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ground elevation under probe points for P3D gauges, and probe-host to try it")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME terrain-probe-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The libraries the binaries link (GDAL, Cairo, fontconfig, the C++
  # runtime) from dpkg-shlibdeps; the display's face is a font package.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "probe-host runs the terrain_probe gauge module (built natively) in a simulated flight-simulator host: it flies an aircraft over built-in relief or real terrain files read through GDAL, places probe points and shows the ground elevations the module publishes.")
endif()
include(CPack)
