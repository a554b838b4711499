# Project-wide switches: warnings and sanitizers. Our own targets call
# quillon_target_defaults(); third-party code keeps its own flags.

option(QUILLON_WARNINGS_AS_ERRORS "Treat warnings in the project's code as errors" OFF)
set(QUILLON_SANITIZE "" CACHE STRING "Sanitizers to build with (address;undefined or thread)")

if(QUILLON_SANITIZE)
    list(JOIN QUILLON_SANITIZE "," _sanitizers)
    add_compile_options(-fsanitize=${_sanitizers} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${_sanitizers})
    if("undefined" IN_LIST QUILLON_SANITIZE)
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
endif()

function(quillon_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
    if(QUILLON_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    # GCC 12 misreports std::string concatenation at -O2/-O3 as overlapping
    # copies (its bug 105329); the warning carries no signal there.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
endfunction()

# Everything labelled "threads" also runs under ThreadSanitizer (scripts/test).
if(NOT TARGET quillon_thread_tests)
    add_custom_target(quillon_thread_tests)
endif()

# Every test carries the label of its folder under tests/ (ctest -L devicelib)
# plus the extra LABELS it is given. Each label used is recorded, so that the
# check added by quillon_add_label_check() can prove that every one selects
# tests.
function(_quillon_test_labels out_var)
    cmake_path(GET CMAKE_CURRENT_SOURCE_DIR FILENAME _folder)
    set(_labels ${_folder} ${ARGN})
    list(REMOVE_DUPLICATES _labels)
    set_property(GLOBAL APPEND PROPERTY QUILLON_TEST_LABELS ${_labels})
    set(${out_var} ${_labels} PARENT_SCOPE)
endfunction()

function(_quillon_thread_test target labels)
    if("threads" IN_LIST labels)
        add_dependencies(quillon_thread_tests ${target})
    endif()
endfunction()

# A test that is not a test program of its own (a script, a check on a built
# file), labelled like the programs of its folder.
#   quillon_add_test(NAME name COMMAND ... [LABELS ...])
function(quillon_add_test)
    cmake_parse_arguments(ARG "" "NAME" "COMMAND;LABELS" ${ARGN})
    _quillon_test_labels(_labels ${ARG_LABELS})
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_COMMAND})
    set_tests_properties(${ARG_NAME} PROPERTIES LABELS "${_labels}")
endfunction()

# A GoogleTest program registered with CTest, one CTest entry per test case.
#   quillon_add_gtest(NAME name SOURCES ... LIBS ... [LABELS ...])
function(quillon_add_gtest)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    _quillon_test_labels(_labels ${ARG_LABELS})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    quillon_target_defaults(${ARG_NAME})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    include(GoogleTest)
    gtest_discover_tests(${ARG_NAME}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        TEST_LIST ${ARG_NAME}_TESTS
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    # The discovered tests' PROPERTIES pass through a generated script that
    # flattens lists, so a list of labels (or an empty one) would shift the
    # name/value pairs. The labels are set instead by a script of our own
    # that ctest reads right after the discovered tests, on the list of
    # their names.
    set(_label_script ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}_labels.cmake)
    file(CONFIGURE OUTPUT ${_label_script} CONTENT [==[
if(@ARG_NAME@_TESTS)
  set_tests_properties(${@ARG_NAME@_TESTS} PROPERTIES LABELS "@_labels@")
endif()
]==] @ONLY)
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_label_script})
    _quillon_thread_test(${ARG_NAME} "${_labels}")
endfunction()

# A Qt Test program, run as one CTest entry on the offscreen platform.
#   quillon_add_qtest(NAME name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT seconds])
function(quillon_add_qtest)
    cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    _quillon_test_labels(_labels ${ARG_LABELS})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    set_target_properties(${ARG_NAME} PROPERTIES AUTOMOC ON)
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} Qt6::Test)
    quillon_target_defaults(${ARG_NAME})
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    set_tests_properties(${ARG_NAME} PROPERTIES
        LABELS "${_labels}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    if(ARG_TIMEOUT)
        set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    endif()
    _quillon_thread_test(${ARG_NAME} "${_labels}")
endfunction()

# One test that fails when a label recorded above selects no test, e.g.
# because labels were lost on their way to the discovered tests. It lists
# tests (ctest -N) and runs none, so it cannot recurse into itself; in the
# build tree it also runs the discovery of every test program, which all
# exist once the whole tree is built. It carries no label of its own, so
# label-filtered passes such as the ThreadSanitizer one leave it out.
# Call once, after every folder with tests has been added.
function(quillon_add_label_check)
    get_property(_labels GLOBAL PROPERTY QUILLON_TEST_LABELS)
    list(REMOVE_DUPLICATES _labels)
    list(SORT _labels)
    list(JOIN _labels "," _label_arg)
    add_test(NAME test_labels_select_tests
        COMMAND ${CMAKE_COMMAND}
            -DCTEST=${CMAKE_CTEST_COMMAND}
            -DBUILD_DIR=${CMAKE_BINARY_DIR}
            -DCONFIG=$<CONFIG>
            -DLABELS=${_label_arg}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckTestLabels.cmake)
endfunction()

# Adds the named subfolders in order; those after GUI only when the Qt
# programs are built. A folder joins the build by being named here, so a
# missing one is an error rather than a silent gap.
#   quillon_add_folders(<folder>... [GUI <folder>...])
function(quillon_add_folders)
    cmake_parse_arguments(ARG "" "" "GUI" ${ARGN})
    set(_folders ${ARG_UNPARSED_ARGUMENTS})
    if(QUILLON_BUILD_GUI)
        list(APPEND _folders ${ARG_GUI})
    endif()
    foreach(folder IN LISTS _folders)
        add_subdirectory(${folder})
    endforeach()
endfunction()

# Fails the configure when a target of the named subfolders links Qt,
# directly or through another of the project's libraries: the core stays
# usable without the GUI even in builds that have Qt at hand.
#   quillon_check_no_qt(<folder>...)
function(quillon_check_no_qt)
    set(_pending "")
    foreach(folder IN LISTS ARGN)
        get_property(_targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
        list(APPEND _pending ${_targets})
    endforeach()
    set(_seen "")
    while(_pending)
        list(POP_FRONT _pending _target)
        if(_target IN_LIST _seen OR NOT TARGET ${_target})
            continue()
        endif()
        list(APPEND _seen ${_target})
        get_target_property(_links ${_target} LINK_LIBRARIES)
        get_target_property(_interface ${_target} INTERFACE_LINK_LIBRARIES)
        foreach(link IN LISTS _links _interface)
            if(link MATCHES "^Qt[0-9]*::")
                message(FATAL_ERROR "${_target} links ${link}, but the core and the command line must not use Qt")
            endif()
            list(APPEND _pending ${link})
        endforeach()
    endwhile()
endfunction()

# <windows.h> must not define min and max as macros over std::min and std::max;
# <cmath> has M_PI there only when asked.
if(WIN32)
    add_compile_definitions(NOMINMAX _USE_MATH_DEFINES)
endif()

# A path of the build machine as a test program sees it. Under Wine the
# build machine's root is drive Z:, and a path without a drive would name a
# folder on the drive of whatever folder the test has moved to.
#   quillon_runtime_path(<out-var> <absolute path>)
function(quillon_runtime_path out path)
    if(WIN32 AND CMAKE_CROSSCOMPILING)
        set(${out} "Z:${path}" PARENT_SCOPE)
    else()
        set(${out} "${path}" PARENT_SCOPE)
    endif()
endfunction()
