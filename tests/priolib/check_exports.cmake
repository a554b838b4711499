# Fails unless the library's dynamic symbol table defines exactly the six
# Prio32 functions. Run: cmake -DNM=<nm> -DLIBRARY=<libPrio32.so> -P check_exports.cmake
set(expected
    Prio32AllowIO
    Prio32GetPriorityClass
    Prio32GetThreadPriority
    Prio32GetVersion
    Prio32SetPriorityClass
    Prio32SetThreadPriority)

execute_process(
    COMMAND ${NM} -D --defined-only ${LIBRARY}
    OUTPUT_VARIABLE listing
    ERROR_VARIABLE errors
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}: ${errors}")
endif()

set(found "")
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
    # "<address> <type> <name>", the name possibly versioned (name@@VERSION).
    if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] +([^ @]+)")
        list(APPEND found ${CMAKE_MATCH_1})
    elseif(NOT line STREQUAL "")
        message(FATAL_ERROR "Unexpected nm line: ${line}")
    endif()
endforeach()
list(SORT found)

if(NOT found STREQUAL expected)
    message(FATAL_ERROR "Exported symbols differ.\n  expected: ${expected}\n  found:    ${found}")
endif()
message(STATUS "Exports are exactly: ${found}")
