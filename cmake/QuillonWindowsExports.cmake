# The export table of a Windows DLL comes from its .def file alone: the names
# and ordinals listed there and nothing else (the sources mark no function
# dllexport, which would add exports of its own under the next free ordinals).
#
# 32-bit __stdcall functions carry "@<argument bytes>" in their object
# symbols. The DLL must export the bare names, while a caller compiled against
# the header still refers to the decorated symbol. So on 32-bit the .def is
# rewritten with the decorated names found in the objects; the linker strips
# the suffix from each exported name (--kill-at), and dlltool makes the import
# library from the decorated list, mapping each decorated symbol onto the bare
# exported name.
#   quillon_windows_exports(<target> DEF <file.def> OBJECTS <object library>)
set(_quillon_decorate_script ${CMAKE_CURRENT_LIST_DIR}/DecorateDefExports.cmake)

function(quillon_windows_exports target)
    cmake_parse_arguments(ARG "" "DEF;OBJECTS" "" ${ARGN})
    get_filename_component(_def ${ARG_DEF} ABSOLUTE)
    if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
        # One calling convention on 64-bit: the names are the symbols.
        target_sources(${target} PRIVATE ${_def})
        return()
    endif()

    set(_decorated ${CMAKE_CURRENT_BINARY_DIR}/${target}_decorated.def)
    add_custom_command(OUTPUT ${_decorated}
        COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDEF=${_def}
                "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:${ARG_OBJECTS}>,|>"
                -DSYMBOL_PREFIX=_ -DOUTPUT=${_decorated}
                -P ${_quillon_decorate_script}
        DEPENDS ${_def} ${_quillon_decorate_script} $<TARGET_OBJECTS:${ARG_OBJECTS}>
        COMMENT "Export list of ${target} with its decorated symbols"
        VERBATIM)
    target_sources(${target} PRIVATE ${_decorated})
    target_link_options(${target} PRIVATE LINKER:--kill-at)
    # Replaces the import library the linker wrote, whose symbols lost their
    # decoration with --kill-at.
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_DLLTOOL} --input-def ${_decorated} --kill-at
                --dllname $<TARGET_FILE_NAME:${target}>
                --output-lib $<TARGET_LINKER_FILE:${target}>
        VERBATIM)
endfunction()
