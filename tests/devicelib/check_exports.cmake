# Compares the names a built library exports with the names of its .def file:
#   cmake -DLIB=path/to/lib.so -DDEF=path/to/lib.def -P check_exports.cmake
execute_process(COMMAND nm -D --defined-only ${LIB}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(exported "")
foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] ([^ ]+)$")
        list(APPEND exported "${CMAKE_MATCH_1}")
    endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/DefExports.cmake)
quillon_read_def_exports(${DEF} expected ordinals)

list(SORT exported)
list(SORT expected)
set(missing ${expected})
list(REMOVE_ITEM missing ${exported})
set(extra ${exported})
list(REMOVE_ITEM extra ${expected})
list(LENGTH expected expected_count)
if(missing OR extra OR expected_count EQUAL 0)
    message(FATAL_ERROR "export table mismatch\n  missing: ${missing}\n  extra: ${extra}")
endif()
message(STATUS "${expected_count} exports match ${DEF}")
