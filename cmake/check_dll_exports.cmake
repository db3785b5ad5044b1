# Checks what the built module shows the loader: it exports exactly
# ImportTable and Linkage, and the DLL imports nothing but Windows' own DLLs
# (a host machine has no MinGW runtime to offer).
#
#   cmake -DTOOL=<objdump or nm> -DMODULE=<file> -DFORMAT=pe|elf [-DCRT=msvcrt|ucrt] -P check_dll_exports.cmake
#
# pe:  TOOL is the MinGW objdump, run with -p; reads the export and import
#      tables. The imports are KERNEL32.dll and the C runtime CRT names
#      (msvcrt, the default: msvcrt.dll; ucrt: api-ms-win-crt-*.dll), and
#      nothing of the other runtime.
# elf: TOOL is nm, run with -D --defined-only; reads the dynamic symbols.

foreach(var TOOL MODULE FORMAT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_dll_exports: ${var} not given")
  endif()
endforeach()

if(FORMAT STREQUAL "pe")
  set(args -p)
elseif(FORMAT STREQUAL "elf")
  set(args -D --defined-only)
else()
  message(FATAL_ERROR "check_dll_exports: FORMAT must be pe or elf, not ${FORMAT}")
endif()

execute_process(COMMAND ${TOOL} ${args} ${MODULE}
  OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed on ${MODULE}: ${errors}")
endif()
string(REPLACE "\n" ";" lines "${dump}")

set(exports "")
set(imports "")
if(FORMAT STREQUAL "pe")
  # Export names follow "[Ordinal/Name Pointer] Table" as "[   0] Name".
  set(in_names FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
      set(in_names TRUE)
    elseif(in_names AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
      list(APPEND exports "${CMAKE_MATCH_1}")
    elseif(in_names)
      set(in_names FALSE)
    endif()
    if(line MATCHES "^[ \t]*DLL Name: (.+)$")
      list(APPEND imports "${CMAKE_MATCH_1}")
    endif()
  endforeach()
else()
  # "<address> <type> <name>"; only symbols in the module's own sections.
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([^ ]+)$")
      list(APPEND exports "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endif()

list(SORT exports)
if(NOT exports STREQUAL "ImportTable;Linkage")
  message(FATAL_ERROR "${MODULE} exports [${exports}], not exactly [ImportTable;Linkage]")
endif()

if(FORMAT STREQUAL "pe")
  if(NOT imports)
    message(FATAL_ERROR "no import table found in ${MODULE}")
  endif()
  if(NOT CRT)
    set(CRT msvcrt)
  endif()
  if(CRT STREQUAL "msvcrt")
    set(runtime "msvcrt\\.dll")
  elseif(CRT STREQUAL "ucrt")
    set(runtime "api-ms-win-crt-[a-z0-9-]+\\.dll")
  else()
    message(FATAL_ERROR "check_dll_exports: CRT must be msvcrt or ucrt, not ${CRT}")
  endif()
  set(runtime_seen FALSE)
  foreach(dll IN LISTS imports)
    string(TOLOWER "${dll}" name)
    if(name MATCHES "^${runtime}$")
      set(runtime_seen TRUE)
    elseif(NOT name STREQUAL "kernel32.dll")
      message(FATAL_ERROR "${MODULE} imports ${dll}; only KERNEL32.dll and the ${CRT} C runtime are allowed")
    endif()
  endforeach()
  if(NOT runtime_seen)
    message(FATAL_ERROR "${MODULE} imports nothing of the ${CRT} C runtime")
  endif()
  message(STATUS "exports: ${exports}; imports: ${imports}")
else()
  message(STATUS "exports: ${exports}")
endif()
