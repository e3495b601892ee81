# Runs the key file reader on broken variants of the default key file and
# checks that each is refused with a message saying what is wrong.
#   cmake -DSOURCE_DIR=<project> -DWORK_DIR=<scratch folder> -P key_file_test.cmake
cmake_minimum_required(VERSION 3.25)

set(generator "${SOURCE_DIR}/cmake/GenerateKeyMaterial.cmake")
file(READ "${SOURCE_DIR}/resources/keys/default.key" good)
file(MAKE_DIRECTORY "${WORK_DIR}")
set(failures 0)

function(run_reader key_text out_result out_output)
  file(WRITE "${WORK_DIR}/test.key" "${key_text}")
  file(REMOVE "${WORK_DIR}/key.h")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DKEY_FILE=${WORK_DIR}/test.key -DOUTPUT=${WORK_DIR}/key.h -P ${generator}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \t\r\n]+" " " out "${out}")
  set(${out_result} "${result}" PARENT_SCOPE)
  set(${out_output} "${out}" PARENT_SCOPE)
endfunction()

# The first entry of the table, whatever it is, written again in place of the second.
string(REGEX MATCH "SubstTable[ \t\r\n]+([0-9A-Fa-f][0-9A-Fa-f])[ \t]+([0-9A-Fa-f][0-9A-Fa-f])" pair "${good}")
set(first "${CMAKE_MATCH_1}")
string(TOUPPER "${first}" first_upper)
string(REPLACE "${pair}" "SubstTable\n${first} ${first}" duplicated "${good}")
string(REPLACE "${pair}" "SubstTable\n${first}" short "${good}")
string(REPLACE "${pair}" "SubstTable\n${first} ${first} 00" long "${good}")
string(REPLACE "${pair}" "SubstTable\n${first} G1" bad_token "${good}")
string(REGEX REPLACE "KeyByte1 0x[0-9A-Fa-f]+" "KeyByte1 0x123" wide_byte "${good}")
string(REGEX REPLACE "KeyWord 0x[0-9A-Fa-f]+" "KeyWord 1234" bare_word "${good}")
string(REGEX REPLACE "KeyWord 0x[0-9A-Fa-f]+\n" "" no_word "${good}")
string(REGEX REPLACE "KeyByte2 (0x[0-9A-Fa-f]+)" "KeyByte2 \\1\nKeyByte2 \\1" twice "${good}")
string(REPLACE "\nSubstTable\n" "\nSubstTable\nSubstTable\n" table_twice "${good}")
string(REPLACE "\nSubstTable\n" "\nSubst Table\n" no_table "${good}")

set(cases
  duplicated "SubstTable holds 0x${first_upper} twice"
  short "SubstTable holds 255 bytes instead of 256"
  long "SubstTable holds 257 bytes instead of 256"
  bad_token "\"G1\" in SubstTable is not a two-digit hexadecimal byte"
  wide_byte "KeyByte1 must be written 0xNN, not \"0x123\""
  bare_word "KeyWord must be written 0xNNNN, not \"1234\""
  no_word "KeyWord is missing"
  twice "KeyByte2 is given twice"
  table_twice "\"SubstTable\" in SubstTable is not a two-digit hexadecimal byte"
  no_table "unexpected line \"Subst Table\""
)
list(LENGTH cases count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET cases ${i} name)
  list(GET cases ${j} expected)
  run_reader("${${name}}" result output)
  string(FIND "${output}" "${expected}" at)
  if(result EQUAL 0 OR at EQUAL -1 OR EXISTS "${WORK_DIR}/key.h")
    message(SEND_ERROR "${name}: expected a refusal with \"${expected}\", got (${result}) ${output}")
  endif()
endforeach()

run_reader("${good}" result output)
if(NOT result EQUAL 0 OR NOT EXISTS "${WORK_DIR}/key.h")
  message(SEND_ERROR "the default key file was refused: ${output}")
endif()
