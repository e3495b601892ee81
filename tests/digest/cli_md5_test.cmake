# tarnwick-cli md5: md5sum's line format, progress on standard error, and a file
# that cannot be read does not stop the others but makes the exit status 2.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/abc.txt" "abc")

# In English, the language of the message looked for below.
execute_process(COMMAND ${RUNNER} "${CLI}" --language en md5 --progress abc.txt missing.txt abc.txt
  WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)

set(line "900150983cd24fb0d6963f7d28e17f72  abc.txt\n")
if(NOT status EQUAL 2)
  message(FATAL_ERROR "exit status ${status}, expected 2")
endif()
if(NOT out STREQUAL "${line}${line}")
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()
if(SHOWN_WORK MATCHES "\\\\")
  set(missing "${SHOWN_WORK}\\missing.txt")
else()
  set(missing "${SHOWN_WORK}/missing.txt")
endif()
string(FIND "${err}" "Cannot open file \"${missing}\". No such file or directory" at)
if(at EQUAL -1)
  message(FATAL_ERROR "missing error text in:\n${err}")
endif()
string(FIND "${err}" "abc.txt: 0%\nabc.txt: 100%\nabc.txt: 0%\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "missing progress in:\n${err}")
endif()
file(REMOVE_RECURSE "${WORK}")
