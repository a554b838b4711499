# Writes a copy of a .def file whose export names are the symbols the objects
# define for them: "Name@8" for a __stdcall function taking 8 bytes, "Name"
# for any other. Ordinals and the rest of each line stay as they are.
#   cmake -DNM=<nm> -DDEF=<in.def> -DOBJECTS=<a.obj|b.obj> -DSYMBOL_PREFIX=_
#         -DOUTPUT=<out.def> -P DecorateDefExports.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/ScriptArguments.cmake)
quillon_require_script_arguments(NM DEF OBJECTS OUTPUT)

string(REPLACE "|" ";" objects "${OBJECTS}")
execute_process(COMMAND ${NM} -g --defined-only ${objects}
    OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed: ${errors}")
endif()

# Defined code symbols, without the C prefix: "Name" or "Name@8".
set(symbols "")
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]+ T ${SYMBOL_PREFIX}([A-Za-z_][A-Za-z0-9_]*(@[0-9]+)?)$")
        list(APPEND symbols "${CMAKE_MATCH_1}")
    endif()
endforeach()

file(STRINGS ${DEF} def_lines)
set(text "")
set(in_exports FALSE)
foreach(line IN LISTS def_lines)
    if(line MATCHES "^EXPORTS")
        set(in_exports TRUE)
    elseif(in_exports AND line MATCHES "^([ \t]+)([A-Za-z_][A-Za-z0-9_]*)(.*)$")
        set(indent "${CMAKE_MATCH_1}")
        set(name "${CMAKE_MATCH_2}")
        set(rest "${CMAKE_MATCH_3}")
        set(found "")
        foreach(symbol IN LISTS symbols)
            if(symbol STREQUAL name OR symbol MATCHES "^${name}@[0-9]+$")
                list(APPEND found "${symbol}")
            endif()
        endforeach()
        list(LENGTH found count)
        if(NOT count EQUAL 1)
            message(FATAL_ERROR "${DEF}: export ${name} is defined ${count} times in the objects: ${found}")
        endif()
        set(line "${indent}${found}${rest}")
    endif()
    string(APPEND text "${line}\n")
endforeach()

file(WRITE ${OUTPUT} "${text}")
