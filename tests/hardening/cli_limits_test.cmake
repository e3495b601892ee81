# tarnwick-cli refuses what the formats cannot carry, naming the limit: a value
# to encode over 10,240 bytes (without reading an endless input to its end), a
# version string longer than its slot; and it reads no further into endless
# standard input than its first line when that is not a server information
# file's. In English, the language of the texts looked for.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(expect_status expected text)
  if(NOT status EQUAL expected)
    message(FATAL_ERROR "exit status ${status}, expected ${expected}")
  endif()
  string(FIND "${err}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing \"${text}\" in:\n${err}")
  endif()
endfunction()

function(expect_refusal text)
  expect_status(1 "${text}")
endfunction()

string(REPEAT "x" 10241 long)
file(WRITE "${WORK}/long.txt" "${long}")
execute_process(COMMAND ${RUNNER} "${CLI}" --language en encode INPUT_FILE "${WORK}/long.txt"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_refusal("a value may hold at most 10,240 bytes")

execute_process(COMMAND ${RUNNER} "${CLI}" --language en encode INPUT_FILE /dev/zero TIMEOUT 20
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_refusal("a value may hold at most 10,240 bytes")

foreach(command decode verify)
  execute_process(COMMAND ${RUNNER} "${CLI}" --language en ${command} - INPUT_FILE /dev/zero TIMEOUT 20
    WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  expect_status(2 "standard input, line 1: \"\\x00\\x00")
endforeach()

string(ASCII 239 187 191 byte_order_mark)
file(WRITE "${WORK}/marked.txt" "${byte_order_mark}$BEGIN\r\n")
execute_process(COMMAND ${RUNNER} "${CLI}" --language en decode marked.txt
  WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_status(2 "marked.txt starts with a UTF-8 byte-order mark")

file(COPY "${IMAGE}" DESTINATION "${WORK}")
get_filename_component(image "${IMAGE}" NAME)
file(READ "${WORK}/${image}" before HEX)
execute_process(COMMAND ${RUNNER} "${CLI}" --language en stamp "${image}" GameName 012345678901234567890
  WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_refusal("the value has 21 characters; the slot GameName holds at most 20 (and a terminator)")
file(READ "${WORK}/${image}" after HEX)
if(NOT before STREQUAL after)
  message(FATAL_ERROR "a refused stamping changed the file")
endif()
file(REMOVE_RECURSE "${WORK}")
