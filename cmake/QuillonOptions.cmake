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

# A GoogleTest program registered with CTest, one CTest entry per test case.
#   quillon_add_gtest(NAME name SOURCES ... LIBS ... [LABELS ...])
function(quillon_add_gtest)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    quillon_target_defaults(${ARG_NAME})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    include(GoogleTest)
    # The discovered tests' properties pass through a generated script that
    # loses all but the first element of a list, so several labels become one
    # joined label; ctest -L takes a regular expression and still finds each.
    list(JOIN ARG_LABELS "-" _labels)
    gtest_discover_tests(${ARG_NAME}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS "${_labels}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    if("threads" IN_LIST ARG_LABELS)
        add_dependencies(quillon_thread_tests ${ARG_NAME})
    endif()
endfunction()

# Adds every direct subfolder that has a CMakeLists.txt, so a folder joins the
# build by existing.
function(quillon_add_subfolders)
    file(GLOB _entries LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
    foreach(entry IN LISTS _entries)
        if(IS_DIRECTORY ${entry} AND EXISTS ${entry}/CMakeLists.txt)
            add_subdirectory(${entry})
        endif()
    endforeach()
endfunction()
