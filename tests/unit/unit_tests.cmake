# The GoogleTest unit suite, included from tests/CMakeLists.txt. The native
# build takes Debian's installed GoogleTest; a cross build compiles it from
# source with its own toolchain (Debian's googletest package ships that).
file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
if(WIN32)
    # Tests of the Win32 backend itself.
    file(GLOB WINDOWS_UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/windows/*.cpp)
    list(APPEND UNIT_TEST_SOURCES ${WINDOWS_UNIT_TEST_SOURCES})
endif()

if(CMAKE_CROSSCOMPILING)
    set(SEARCHFILTER_GTEST_SOURCE /usr/src/googletest CACHE PATH
        "GoogleTest's source tree, built with the cross toolchain (Debian package googletest)")
    if(NOT EXISTS ${SEARCHFILTER_GTEST_SOURCE}/CMakeLists.txt)
        message(FATAL_ERROR "No GoogleTest source in ${SEARCHFILTER_GTEST_SOURCE}: "
                            "install Debian's googletest or set SEARCHFILTER_GTEST_SOURCE")
    endif()
    set(BUILD_GMOCK OFF)
    set(INSTALL_GTEST OFF)
    add_subdirectory(${SEARCHFILTER_GTEST_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(MINGW)
        # Its own Notification for the win32 thread model, found before the
        # empty placeholder header of the source tree.
        target_include_directories(gtest BEFORE PUBLIC ${CMAKE_CURRENT_LIST_DIR}/gtest_win32_threads)
        # That header brings in <windows.h>: without its min and max macros.
        target_compile_definitions(gtest PUBLIC NOMINMAX)
    endif()
else()
    find_package(GTest REQUIRED)
endif()

add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE filter GTest::gtest GTest::gtest_main searchfilter_warnings)
if(WIN32)
    # Runs under Wine with no DLL of the toolchain beside it.
    target_link_options(unit_tests PRIVATE -static -static-libgcc -static-libstdc++)
    target_compile_definitions(unit_tests PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

if(NOT CMAKE_CROSSCOMPILING)
    include(GoogleTest)
    gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 30)
elseif(CMAKE_CROSSCOMPILING_EMULATOR)
    # One test for the whole suite: listing the cases would start the program
    # under Wine while building, outside the test run's prefix (or at the start
    # of every ctest call, before the prefix exists), and one Wine start per
    # case would cost more than all the cases together. GoogleTest's report
    # names each failing case. CMake puts the emulator in front by itself.
    add_test(NAME unit_tests COMMAND unit_tests)
    list(APPEND PROGRAM_TESTS unit_tests)
endif()
