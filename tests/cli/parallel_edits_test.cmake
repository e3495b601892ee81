# Edits started all at once all land: each one is a read-modify-write of
# Tarnwick.xml under the folder's lock, so none works from a stale copy.
# Run natively, and under Wine for the Windows build (RUNNER); in English, so
# that the failures reported read the same on every machine.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

execute_process(COMMAND ${RUNNER} "${CLI}" --language en group add East WORKING_DIRECTORY "${WORK}"
  RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "group add: ${status} ${err}")
endif()

string(REPLACE ";" " " runner "${RUNNER}")
set(script "cd '${WORK}' || exit 1\n")
foreach(i RANGE 1 ${COUNT})
  string(APPEND script "${runner} '${CLI}' --language en --wait 600 server add --group East --show-name s${i} "
                       "--name n --addr a >/dev/null 2>>errors.txt || echo \"edit ${i} failed: $?\" >>errors.txt &\n")
endforeach()
string(APPEND script "wait\n")
file(WRITE "${WORK}/parallel.sh" "${script}")
execute_process(COMMAND sh "${WORK}/parallel.sh" RESULT_VARIABLE status)

file(READ "${WORK}/errors.txt" errors)
if(NOT errors STREQUAL "")
  message(FATAL_ERROR "edits failed:\n${errors}")
endif()
execute_process(COMMAND ${RUNNER} "${CLI}" --language en server list --json WORKING_DIRECTORY "${WORK}"
  RESULT_VARIABLE status OUTPUT_VARIABLE listed ERROR_VARIABLE err)
string(REGEX MATCHALL "\"row\"" rows "${listed}")
list(LENGTH rows count)
if(NOT count EQUAL COUNT)
  message(FATAL_ERROR "${count} servers after ${COUNT} parallel edits")
endif()
message(STATUS "${COUNT} parallel edits, ${count} servers")
