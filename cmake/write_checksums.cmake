# Last install step of the Windows package: SHA256SUMS over every file
# installed, sorted by path, in the form `sha256sum -c` reads.
set(tp_dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(GLOB_RECURSE tp_files LIST_DIRECTORIES false RELATIVE "${tp_dir}" "${tp_dir}/*")
list(REMOVE_ITEM tp_files SHA256SUMS)
list(SORT tp_files)
set(tp_sums "")
foreach(file IN LISTS tp_files)
  file(SHA256 "${tp_dir}/${file}" sum)
  string(APPEND tp_sums "${sum}  ${file}\n")
endforeach()
file(WRITE "${tp_dir}/SHA256SUMS" "${tp_sums}")
message(STATUS "Checksums: ${tp_dir}/SHA256SUMS")
