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

# Adds each listed directory that exists and has a CMakeLists.txt.
macro(qm_add_subdirectories)
    foreach(_dir ${ARGN})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_dir}/CMakeLists.txt)
            add_subdirectory(${_dir})
        endif()
    endforeach()
endmacro()

# Adds every direct subdirectory that has a CMakeLists.txt (tools/, bench/).
macro(qm_add_all_subdirectories)
    file(GLOB _qm_children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
    foreach(_child ${_qm_children})
        if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
            add_subdirectory(${_child})
        endif()
    endforeach()
endmacro()

# qm_library(<target> [DEPS <targets...>])
# One static library from every .cpp directly in the current directory.
function(qm_library target)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
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
endfunction()

# The leak checker's settings for every test program: the suppressions for
# what the GL driver and SDL keep until exit, and no scan of thread-local
# storage (the checker's tracer crashed walking the GL driver's threads).
set(QM_LSAN_OPTIONS "suppressions=${PROJECT_SOURCE_DIR}/tests/Support/lsan.supp:use_tls=0")

# qm_tests(<target> [LIBS <targets...>] [ENV <VAR=value...>])
# One GoogleTest executable from every .cpp directly in the current test directory,
# registered test by test in CTest. ENV comes after the defaults and so overrides them.
function(qm_tests target)
    cmake_parse_arguments(ARG "" "" "LIBS;ENV" ${ARGN})
    file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT _sources)
        return()
    endif()
    add_executable(${target} ${_sources})
    target_compile_options(${target} PRIVATE ${QM_WARNINGS})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    set(_env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LSAN_OPTIONS=${QM_LSAN_OPTIONS} ${ARG_ENV})
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

# qm_xvfb_check(<target> <source> [LIBS <targets...>])
# A check program that needs a real X server: run by xvfb-run with SDL's x11
# driver, registered as a test named after <source>. Skipped (exit code 77) on
# machines without xvfb-run; not built without libX11.
function(qm_xvfb_check target source)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    pkg_check_modules(X11 IMPORTED_TARGET x11)
    if(NOT X11_FOUND)
        return()
    endif()
    get_filename_component(_name ${source} NAME_WE)
    add_executable(${target} ${source})
    target_compile_options(${target} PRIVATE ${QM_WARNINGS})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} PkgConfig::X11)
    add_test(NAME ${_name}
        COMMAND sh -c "command -v xvfb-run >/dev/null 2>&1 || exit 77; exec xvfb-run -a -s '-screen 0 1024x768x24' env SDL_VIDEODRIVER=x11 LSAN_OPTIONS=${QM_LSAN_OPTIONS} \"$0\"" $<TARGET_FILE:${target}>)
    set_tests_properties(${_name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)
endfunction()
