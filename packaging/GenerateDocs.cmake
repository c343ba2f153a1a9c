# Makes the manual pages and the bash completion from vorlanda-admin's own
# command registry, and compresses the pages and the changelog as Debian
# wants them (gzip -9n: no name, no time stamp).
#   cmake -DADMIN=<vorlanda-admin> -DOUT=<folder> -DCHANGELOG=<file> -P GenerateDocs.cmake
file(MAKE_DIRECTORY "${OUT}")
foreach(page vorlanda-admin vorlanda)
  execute_process(COMMAND "${ADMIN}" --man ${page} OUTPUT_FILE "${OUT}/${page}.1" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "vorlanda-admin --man ${page} failed: ${rc}")
  endif()
endforeach()
execute_process(COMMAND "${ADMIN}" --completion OUTPUT_FILE "${OUT}/vorlanda-admin" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "vorlanda-admin --completion failed: ${rc}")
endif()
configure_file("${CHANGELOG}" "${OUT}/changelog" COPYONLY)
foreach(f vorlanda-admin.1 vorlanda.1 changelog)
  execute_process(COMMAND gzip -9nf "${OUT}/${f}" -c OUTPUT_FILE "${OUT}/${f}.gz" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${f} failed: ${rc}")
  endif()
endforeach()
