# Install step of the Windows package: the DLL's debug information moves
# into terrain_probe.dll.debug beside it (found through the DLL's
# .gnu_debuglink), and both binaries are stripped. Run from install(CODE)
# with tp_objcopy set to the MinGW objcopy.
set(tp_dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
# objcopy writes SOURCE_DATE_EPOCH (or else the time) into the PE header's
# time stamp; 0 keeps it as the linker left it: none.
function(tp_run)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${ARGN}
                  WORKING_DIRECTORY "${tp_dir}" COMMAND_ERROR_IS_FATAL ANY)
endfunction()
message(STATUS "Splitting the debug information: ${tp_dir}/terrain_probe.dll.debug")
tp_run("${tp_objcopy}" --only-keep-debug terrain_probe.dll terrain_probe.dll.debug)
tp_run("${tp_objcopy}" --strip-debug --strip-unneeded --add-gnu-debuglink=terrain_probe.dll.debug terrain_probe.dll)
tp_run("${tp_objcopy}" --strip-all probe-host.exe)
file(CHMOD "${tp_dir}/terrain_probe.dll.debug" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
