# Runs as a test: install, configure and build the consumer, run both of its programs.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}")
  endif()
endfunction()

file(REMOVE_RECURSE ${PREFIX} ${CONSUMER_BINARY})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
if(TOOLS)
  # The tool comes with its manual page, made from its --help, and its bash completion.
  file(READ ${PREFIX}/share/man/man1/vesk-archive.1 manual)
  string(FIND "${manual}" "mount" mentioned)
  if(mentioned EQUAL -1)
    message(FATAL_ERROR "the manual page does not list the commands")
  endif()
  run(bash -n ${PREFIX}/share/bash-completion/completions/vesk-archive)
endif()
run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${CONSUMER_BINARY} -G ${GENERATOR}
  -D CMAKE_PREFIX_PATH=${PREFIX}
  -D CMAKE_CXX_FLAGS=${CXX_FLAGS}
  -D CMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS})
run(${CMAKE_COMMAND} --build ${CONSUMER_BINARY})
run(${CONSUMER_BINARY}/consumer)
run(${CONSUMER_BINARY}/consumer-pkgconfig)
run(${CONSUMER_BINARY}/consumer-vesk-prefix)
run(${CONSUMER_BINARY}/consumer-pkgconfig-vesk-prefix)
