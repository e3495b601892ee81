# Reads a key file of the field encoder and writes it as a C++ header.
#   cmake -DKEY_FILE=<file.key> -DOUTPUT=<header.h> -P GenerateKeyMaterial.cmake
# A malformed file stops with a message that says what is wrong, so that a
# build never carries key material the launcher would not accept.
#
# Format: lines starting with '#' are comments; "KeyByte1 0xNN", "KeyByte2 0xNN",
# "KeyWord 0xNNNN"; then a line "SubstTable" followed by 256 two-digit
# hexadecimal bytes separated by white space, a permutation of 0 to 255.
cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED KEY_FILE OR NOT DEFINED OUTPUT)
  message(FATAL_ERROR "usage: cmake -DKEY_FILE=<file> -DOUTPUT=<header> -P GenerateKeyMaterial.cmake")
endif()

function(key_error text)
  message(FATAL_ERROR "key file ${KEY_FILE}: ${text}")
endfunction()

if(NOT EXISTS "${KEY_FILE}" OR IS_DIRECTORY "${KEY_FILE}")
  key_error("cannot be read")
endif()

file(READ "${KEY_FILE}" content)
# Split into lines without letting CMake's list syntax interpret ';' or brackets.
string(REPLACE ";" "<semicolon>" content "${content}")
string(REPLACE "[" "<bracket>" content "${content}")
string(REPLACE "]" "<bracket>" content "${content}")
string(REPLACE "\r" "" content "${content}")
string(REPLACE "\n" ";" lines "${content}")

set(table_started FALSE)
set(table "")
set(line_number 0)
foreach(line IN LISTS lines)
  math(EXPR line_number "${line_number} + 1")
  string(STRIP "${line}" stripped)
  if(stripped STREQUAL "" OR stripped MATCHES "^#")
    continue()
  endif()
  if(table_started)
    string(REGEX REPLACE "[ \t]+" ";" tokens "${stripped}")
    foreach(token IN LISTS tokens)
      if(NOT token MATCHES "^[0-9A-Fa-f][0-9A-Fa-f]$")
        key_error("line ${line_number}: \"${token}\" in SubstTable is not a two-digit hexadecimal byte")
      endif()
      list(APPEND table "${token}")
    endforeach()
  elseif(stripped MATCHES "^(KeyByte1|KeyByte2)[ \t]+(.*)$")
    set(name "${CMAKE_MATCH_1}")
    set(value "${CMAKE_MATCH_2}")
    if(DEFINED seen_${name})
      key_error("line ${line_number}: ${name} is given twice")
    endif()
    if(NOT value MATCHES "^0x[0-9A-Fa-f][0-9A-Fa-f]$")
      key_error("line ${line_number}: ${name} must be written 0xNN, not \"${value}\"")
    endif()
    set(seen_${name} "${value}")
  elseif(stripped MATCHES "^KeyWord[ \t]+(.*)$")
    set(value "${CMAKE_MATCH_1}")
    if(DEFINED seen_KeyWord)
      key_error("line ${line_number}: KeyWord is given twice")
    endif()
    if(NOT value MATCHES "^0x[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]$")
      key_error("line ${line_number}: KeyWord must be written 0xNNNN, not \"${value}\"")
    endif()
    set(seen_KeyWord "${value}")
  elseif(stripped STREQUAL "SubstTable")
    set(table_started TRUE)
  else()
    key_error("line ${line_number}: unexpected line \"${stripped}\"")
  endif()
endforeach()

foreach(name KeyByte1 KeyByte2 KeyWord)
  if(NOT DEFINED seen_${name})
    key_error("${name} is missing")
  endif()
endforeach()
if(NOT table_started)
  key_error("SubstTable is missing")
endif()

list(LENGTH table count)
if(NOT count EQUAL 256)
  key_error("SubstTable holds ${count} bytes instead of 256")
endif()

# A permutation holds every byte value exactly once; with 256 entries a
# repeated value is the only way to miss one, so name the first repeat.
set(body "")
set(column 0)
foreach(token IN LISTS table)
  string(TOUPPER "${token}" token)
  if(DEFINED used_${token})
    key_error("SubstTable holds 0x${token} twice")
  endif()
  set(used_${token} TRUE)
  string(APPEND body "0x${token},")
  math(EXPR column "${column} + 1")
  if(column EQUAL 16)
    string(APPEND body "\n    ")
    set(column 0)
  else()
    string(APPEND body " ")
  endif()
endforeach()
string(STRIP "${body}" body)

string(TOUPPER "${seen_KeyByte1}" k1)
string(TOUPPER "${seen_KeyByte2}" k2)
string(TOUPPER "${seen_KeyWord}" kw)
string(REPLACE "0X" "0x" k1 "${k1}")
string(REPLACE "0X" "0x" k2 "${k2}")
string(REPLACE "0X" "0x" kw "${kw}")

set(header "// Generated from the key file at build time; do not edit.
#pragma once

namespace tarnwick::generated {

inline constexpr unsigned char kKeyByte1 = ${k1};
inline constexpr unsigned char kKeyByte2 = ${k2};
inline constexpr unsigned short kKeyWord = ${kw};
inline constexpr unsigned char kSubstTable[256] = {
    ${body}
};

} // namespace tarnwick::generated
")
# Only touch the header when it changes, so that a rerun rebuilds nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL header)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${header}")
