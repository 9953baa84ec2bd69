# Small helpers that keep every directory's CMakeLists.txt to a line or two.

# Warnings are on everywhere and kept clean.
set(QM_WARNINGS -Wall -Wextra)

if(QM_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

if(QM_BUILD_FUZZ)
    # Coverage instrumentation in every library that the fuzz targets link.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Adds each listed directory; a listed directory without a CMakeLists.txt is
# an error, so the list names only what exists.
macro(qm_add_subdirectories)
    foreach(_dir ${ARGN})
        if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_dir}/CMakeLists.txt)
            message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${_dir} is listed but has no CMakeLists.txt")
        endif()
        add_subdirectory(${_dir})
    endforeach()
endmacro()

# Adds the listed directories that exist (tests/: not every directory has tests).
macro(qm_add_existing_subdirectories)
    foreach(_dir ${ARGN})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_dir}/CMakeLists.txt)
            add_subdirectory(${_dir})
        endif()
    endforeach()
endmacro()

# Every directory the build has read, below <dir>, into <out>.
function(_qm_built_directories dir out)
    get_property(_children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    set(_all ${dir})
    foreach(_child ${_children})
        _qm_built_directories(${_child} _below)
        list(APPEND _all ${_below})
    endforeach()
    set(${out} ${_all} PARENT_SCOPE)
endfunction()

# qm_check_directory_list(<listed source directories...>)
# Fails the configuration when a directory holds code that the build would
# silently skip: under Engine/, Platform/ and Source/ every directory with
# sources or headers must be listed; elsewhere (tests/, tools/, bench/, demo/)
# every directory with sources must be read by the build (tests/ and bench/
# when they are built).
function(qm_check_directory_list)
    _qm_built_directories(${PROJECT_SOURCE_DIR} _built)
    file(GLOB_RECURSE _files LIST_DIRECTORIES false RELATIVE ${PROJECT_SOURCE_DIR}
        ${PROJECT_SOURCE_DIR}/Engine/*.cpp ${PROJECT_SOURCE_DIR}/Engine/*.c ${PROJECT_SOURCE_DIR}/Engine/*.h
        ${PROJECT_SOURCE_DIR}/Platform/*.cpp ${PROJECT_SOURCE_DIR}/Platform/*.c ${PROJECT_SOURCE_DIR}/Platform/*.h
        ${PROJECT_SOURCE_DIR}/Source/*.cpp ${PROJECT_SOURCE_DIR}/Source/*.c ${PROJECT_SOURCE_DIR}/Source/*.h
        ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.c
        ${PROJECT_SOURCE_DIR}/tools/*.cpp ${PROJECT_SOURCE_DIR}/tools/*.c
        ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/bench/*.c
        ${PROJECT_SOURCE_DIR}/demo/*.cpp ${PROJECT_SOURCE_DIR}/demo/*.c)
    set(_dirs "")
    foreach(_file ${_files})
        get_filename_component(_dir ${_file} DIRECTORY)
        list(APPEND _dirs ${_dir})
    endforeach()
    list(REMOVE_DUPLICATES _dirs)
    set(_errors "")
    foreach(_dir ${_dirs})
        if((_dir MATCHES "^tests(/|$)" AND NOT QM_BUILD_TESTS) OR (_dir MATCHES "^bench(/|$)" AND NOT QM_BUILD_BENCH))
            continue()
        endif()
        if(_dir MATCHES "^(Engine|Platform|Source)(/|$)")
            list(FIND ARGN ${_dir} _at)
            if(_at EQUAL -1)
                string(APPEND _errors "\n  ${_dir} holds code but is not in QM_SOURCE_DIRS")
            endif()
        else()
            list(FIND _built ${PROJECT_SOURCE_DIR}/${_dir} _at)
            if(_at EQUAL -1)
                string(APPEND _errors "\n  ${_dir} holds sources but no CMakeLists.txt of the build reads it")
            endif()
        endif()
    endforeach()
    if(_errors)
        message(FATAL_ERROR "The directory list does not match the tree:${_errors}")
    endif()
endfunction()

# Adds every direct subdirectory that has a CMakeLists.txt (tools/, bench/).
macro(qm_add_all_subdirectories)
    file(GLOB _qm_children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
    foreach(_child ${_qm_children})
        if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
            add_subdirectory(${_child})
        endif()
    endforeach()
endmacro()

# qm_library(<target> [DEPS <targets...>] [PRIVATE_DEPS <targets...>])
# One static library from every .cpp directly in the current directory. DEPS
# are part of its interface (their headers appear in its headers); PRIVATE_DEPS
# are used inside only, so their include paths do not reach the users: the
# platform libraries keep SDL and GL to themselves this way.
function(qm_library target)
    cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
    file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
    if(NOT _sources)
        # A directory whose code has not been written yet still gives a library,
        # so that the libraries above it can link against it.
        set(_sources ${CMAKE_CURRENT_BINARY_DIR}/${target}_empty.cpp)
        file(WRITE ${_sources} "")
    endif()
    add_library(${target} STATIC ${_sources})
    target_compile_options(${target} PRIVATE ${QM_WARNINGS})
    if(ARG_DEPS)
        target_link_libraries(${target} PUBLIC ${ARG_DEPS})
    endif()
    if(ARG_PRIVATE_DEPS)
        target_link_libraries(${target} PRIVATE ${ARG_PRIVATE_DEPS})
    endif()
endfunction()

# The leak checker's settings for every test program: the suppressions for
# what the GL driver and SDL keep until exit, and no scan of thread-local
# storage (the checker's tracer crashed walking the GL driver's threads).
set(QM_LSAN_OPTIONS "suppressions=${PROJECT_SOURCE_DIR}/tests/Support/lsan.supp:use_tls=0")

# qm_test_fixtures(<target> SOURCES <files...> [LIBS <targets...>])
# A small static library of fixtures that several test programs or benchmarks
# share, built once. Its sources are left out of the directory's qm_tests
# program, which must come after it.
function(qm_test_fixtures target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES})
    target_compile_options(${target} PRIVATE ${QM_WARNINGS})
    target_link_libraries(${target} PUBLIC ${ARG_LIBS})
    list(TRANSFORM ARG_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    set_property(DIRECTORY APPEND PROPERTY QM_FIXTURE_SOURCES ${ARG_SOURCES})
endfunction()

# qm_tests(<target> [LIBS <targets...>] [ENV <VAR=value...>])
# One GoogleTest executable from every .cpp directly in the current test directory
# (but the fixture libraries' sources), registered test by test in CTest. ENV
# comes after the defaults and so overrides them.
function(qm_tests target)
    cmake_parse_arguments(ARG "" "" "LIBS;ENV" ${ARGN})
    file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    get_property(_fixtures DIRECTORY PROPERTY QM_FIXTURE_SOURCES)
    if(_fixtures)
        list(REMOVE_ITEM _sources ${_fixtures})
    endif()
    if(NOT _sources)
        return()
    endif()
    add_executable(${target} ${_sources})
    target_compile_options(${target} PRIVATE ${QM_WARNINGS})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    # One rasteriser thread per GL test: ctest already runs a test per core, and
    # Mesa's own thread pool on top of that oversubscribes a small machine badly.
    set(_env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LP_NUM_THREADS=1 LSAN_OPTIONS=${QM_LSAN_OPTIONS} ${ARG_ENV})
    gtest_discover_tests(${target}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        DISCOVERY_TIMEOUT 60)
    # The environment is set after discovery, on the list of found tests:
    # gtest_discover_tests' PROPERTIES would split it into name/value pairs.
    set(_env_script ${CMAKE_CURRENT_BINARY_DIR}/${target}_environment.cmake)
    file(WRITE ${_env_script} "if(${target}_TESTS)\n"
        "  set_tests_properties(\${${target}_TESTS} PROPERTIES ENVIRONMENT \"${_env}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_env_script})
endfunction()

# qm_benchmark(<target> <source> [LIBS <targets...>])
function(qm_benchmark target source)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    add_executable(${target} ${source})
    target_compile_options(${target} PRIVATE ${QM_WARNINGS})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()

# qm_xvfb_check(<target> <source> [LIBS <targets...>] [ARGS <arguments...>])
# A check program that needs a real X server: run by xvfb-run with SDL's x11
# driver, registered as a test named after <source>. Skipped (exit code 77) on
# machines without xvfb-run; not built without libX11.
function(qm_xvfb_check target source)
    cmake_parse_arguments(ARG "" "" "LIBS;ARGS" ${ARGN})
    pkg_check_modules(X11 IMPORTED_TARGET x11)
    if(NOT X11_FOUND)
        return()
    endif()
    get_filename_component(_name ${source} NAME_WE)
    add_executable(${target} ${source})
    target_compile_options(${target} PRIVATE ${QM_WARNINGS})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} PkgConfig::X11)
    add_test(NAME ${_name}
        COMMAND sh -c "command -v xvfb-run >/dev/null 2>&1 || exit 77; exec xvfb-run -a -s '-screen 0 1024x768x24' env SDL_VIDEODRIVER=x11 LSAN_OPTIONS=${QM_LSAN_OPTIONS} \"$0\" \"$@\"" $<TARGET_FILE:${target}> ${ARG_ARGS})
    set_tests_properties(${_name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)
endfunction()
