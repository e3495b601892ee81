# tarnwick-cli md5: md5sum's line format, progress on standard error, and a file
# that fails does not stop the others but makes the exit status 1.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/abc.txt" "abc")

execute_process(COMMAND "${CLI}" md5 --progress abc.txt missing.txt abc.txt
  WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)

set(line "900150983cd24fb0d6963f7d28e17f72  abc.txt\n")
if(NOT status EQUAL 1)
  message(FATAL_ERROR "exit status ${status}, expected 1")
endif()
if(NOT out STREQUAL "${line}${line}")
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()
string(FIND "${err}" "Cannot open file \"${WORK}/missing.txt\". No such file or directory" at)
if(at EQUAL -1)
  message(FATAL_ERROR "missing error text in:\n${err}")
endif()
string(FIND "${err}" "abc.txt: 0%\nabc.txt: 100%\nabc.txt: 0%\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "missing progress in:\n${err}")
endif()
file(REMOVE_RECURSE "${WORK}")
