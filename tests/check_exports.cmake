# Checks that the built library exports exactly the eighteen host functions
# (the eight of the interface, their Unicode variants, the background
# declaration, recognition by content and the host's parameters), under
# their plain names.
set(expected CanYouHandleThisFile CanYouHandleThisFileW CloseArchive GetBackgroundFlags
             GetPackerCaps OpenArchive OpenArchiveW PackFiles PackFilesW PackSetDefaultParams
             ProcessFile ProcessFileW ReadHeader ReadHeaderExW SetChangeVolProc SetChangeVolProcW
             SetProcessDataProc SetProcessDataProcW)
if(FORMAT STREQUAL "pe")
  execute_process(COMMAND ${LISTER} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${LISTER} failed on ${LIBRARY}")
  endif()
  # The export table lists "[Ordinal/Name Pointer] Table" rows as "[ n] +base m  Name".
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(.*)" tail "${dump}")
  set(table "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "\n\n.*" "" table "${table}")
  set(found "")
  string(REPLACE "\n" ";" lines "${table}")
  foreach(line IN LISTS lines)
    if(line MATCHES "\\[ *[0-9]+\\].* ([^ ]+)$")
      list(APPEND found "${CMAKE_MATCH_1}")
    endif()
  endforeach()
else()
  execute_process(COMMAND ${LISTER} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${LISTER} failed on ${LIBRARY}")
  endif()
  string(REPLACE "\n" ";" lines "${dump}")
  set(found "")
  foreach(line IN LISTS lines)
    # Symbol kinds: T/t text, D/d data, B/b bss, R/r read-only, W weak, A absolute (version nodes).
    if(line MATCHES "^[0-9a-f]+ ([A-Za-z]) ([^ ]+)$" AND NOT CMAKE_MATCH_1 STREQUAL "A")
      list(APPEND found "${CMAKE_MATCH_2}")
    endif()
  endforeach()
endif()
list(SORT found)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exports of ${LIBRARY}:\n  found:    ${found}\n  expected: ${expected}")
endif()
message(STATUS "exports of ${LIBRARY}: ${found}")
