# Run by the test test_labels_select_tests: fails when one of the project's
# test labels selects no test in the build tree.
#   cmake -DCTEST=<ctest> -DBUILD_DIR=<dir> -DLABELS=a,b,c [-DCONFIG=<cfg>] -P CheckTestLabels.cmake
include(${CMAKE_CURRENT_LIST_DIR}/ScriptArguments.cmake)
quillon_require_script_arguments(CTEST BUILD_DIR LABELS)

set(_config_args "")
if(CONFIG)
    set(_config_args -C ${CONFIG})
endif()

string(REPLACE "," ";" _labels "${LABELS}")
set(_empty "")
foreach(label IN LISTS _labels)
    # Anchored: ctest -L takes a regular expression, and "sim" alone would
    # also be satisfied by a label such as "simulator".
    execute_process(
        COMMAND ${CTEST} -N -L "^${label}$" ${_config_args}
        WORKING_DIRECTORY ${BUILD_DIR}
        OUTPUT_VARIABLE _out
        ERROR_VARIABLE _err
        RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "ctest -N -L ^${label}$ failed (${_rc}):\n${_out}${_err}")
    endif()
    if(NOT _out MATCHES "Total Tests: ([0-9]+)")
        message(FATAL_ERROR "ctest -N -L ^${label}$ printed no test count:\n${_out}")
    endif()
    message(STATUS "label ${label}: ${CMAKE_MATCH_1} tests")
    if(CMAKE_MATCH_1 EQUAL 0)
        list(APPEND _empty ${label})
    endif()
endforeach()

if(_empty)
    list(JOIN _empty ", " _empty_text)
    message(FATAL_ERROR "Labels that select no test: ${_empty_text}")
endif()
