# ctest script: configuring with a server address the probe cannot take must stop with a message
# that names the option and the value. Run with -DSOURCE_DIR=... -DSCRATCH=... -DGENERATOR=...
# One scratch tree for every case, so the compilers are looked up once.
file(REMOVE_RECURSE "${SCRATCH}")

function(expect_refused variable value)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${SCRATCH}" -G "${GENERATOR}"
      -DKESTREL_BUILD_TESTS=OFF -DKESTREL_PRIMARY_SERVER=192.0.2.10
      -DKESTREL_BACKUP_SERVER=192.0.2.11 "-D${variable}=${value}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \t\r\n]+" " " out "${out}")  # the message is wrapped
  if(result EQUAL 0)
    message(FATAL_ERROR "${variable}='${value}' was accepted")
  endif()
  string(FIND "${out}" "${variable} must be a dotted IPv4 address" said)
  string(FIND "${out}" "got '${value}'" named)
  if(said EQUAL -1 OR named EQUAL -1)
    message(FATAL_ERROR "${variable}='${value}' failed without saying why:\n${out}")
  endif()
endfunction()

expect_refused(KESTREL_PRIMARY_SERVER "example.com")
expect_refused(KESTREL_BACKUP_SERVER "192.0.2.256")
expect_refused(KESTREL_PRIMARY_SERVER "x192.0.2.1")
expect_refused(KESTREL_BACKUP_SERVER "192.0.2.1:3306")
expect_refused(KESTREL_PRIMARY_SERVER "192.0.2")
expect_refused(KESTREL_BACKUP_SERVER "192.0.02.1")
expect_refused(KESTREL_PRIMARY_SERVER "")
file(REMOVE_RECURSE "${SCRATCH}")
