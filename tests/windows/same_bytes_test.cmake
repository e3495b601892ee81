# Runs the same commands with the Windows build (under RUNNER) and the POSIX
# build (HOST_CLI), each in a folder of its own, and compares every file they
# wrote and everything they printed, byte for byte: the resaved Tarnwick.xml,
# ServerInfo.txt, launchers with an ASCII and a Chinese name, an encoded value
# whose input holds CR LF and byte 0x1A, and md5sum-format lines.
file(REMOVE_RECURSE "${WORK}")
string(ASCII 26 eof)
file(WRITE "${WORK}/value.txt" "line one\r\nline two${eof}end")

function(run_all side)
  set(dir "${WORK}/${side}")
  file(MAKE_DIRECTORY "${dir}")
  file(COPY "${DOCUMENT}" DESTINATION "${dir}")
  foreach(command "resave" "serverinfo" "launcher;Velmora;http://list.example.net:8888/ServerInfo.txt"
                  "launcher;传奇世界;http://list.example.net/服务器.txt" "md5;Velmora.exe;传奇世界.exe")
    # One language on both sides: each would follow its own system's.
    execute_process(COMMAND ${ARGN} --language zh_CN ${command} WORKING_DIRECTORY "${dir}"
      RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${side}: '${command}' failed (${status}): ${err}")
    endif()
    list(GET command 0 name)
    if(name STREQUAL "launcher")
      # It prints where it wrote the launcher: a path of each system's own.
      list(GET command 1 game)
      string(FIND "${out}" "${game}.exe" named)
      if(named EQUAL -1)
        message(FATAL_ERROR "${side}: '${command}' did not name ${game}.exe: ${out}")
      endif()
    else()
      file(APPEND "${dir}/printed-${name}.txt" "${out}")
    endif()
  endforeach()
  execute_process(COMMAND ${ARGN} encode INPUT_FILE "${WORK}/value.txt" OUTPUT_FILE "${dir}/encoded.txt"
    WORKING_DIRECTORY "${dir}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${side}: encode failed (${status})")
  endif()
endfunction()

run_all(windows ${RUNNER} "${CLI}")
run_all(posix "${HOST_CLI}")

file(GLOB posix_files RELATIVE "${WORK}/posix" "${WORK}/posix/*")
file(GLOB windows_files RELATIVE "${WORK}/windows" "${WORK}/windows/*")
# The lock file names the process that last held it, which differs by nature.
list(REMOVE_ITEM posix_files Tarnwick.lock)
list(REMOVE_ITEM windows_files Tarnwick.lock)
list(SORT posix_files)
list(SORT windows_files)
if(NOT posix_files STREQUAL windows_files)
  message(FATAL_ERROR "different files written:\n  POSIX: ${posix_files}\n  Windows: ${windows_files}")
endif()
list(LENGTH posix_files count)
if(count LESS 9)
  message(FATAL_ERROR "only ${count} files to compare: ${posix_files}")
endif()
foreach(name IN LISTS posix_files)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/posix/${name}" "${WORK}/windows/${name}"
    RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "${name} differs between the POSIX and the Windows build")
  endif()
endforeach()
message(STATUS "${count} files equal: ${posix_files}")
file(REMOVE_RECURSE "${WORK}")
