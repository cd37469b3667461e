# Windows-only tests, included from tests/CMakeLists.txt in a Windows build.
set(WIN_TESTS_DIR ${CMAKE_CURRENT_SOURCE_DIR}/win)

# "Another process" that holds one of the filter's files open (console helper).
add_executable(hold_file ${WIN_TESTS_DIR}/hold_file.cpp)
target_link_libraries(hold_file PRIVATE searchfilter_warnings)
target_link_options(hold_file PRIVATE -static -static-libgcc -static-libstdc++)

# The shipped .exe is the 32-bit one: check its format, subsystem and imports.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_test(NAME win.inspect_exe_self_test
             COMMAND Python3::Interpreter ${WIN_TESTS_DIR}/inspect_exe.py --self-test)
    add_test(NAME win.inspect_exe
             COMMAND Python3::Interpreter ${WIN_TESTS_DIR}/inspect_exe.py
                     --objdump ${CMAKE_OBJDUMP} $<TARGET_FILE:searchfilter>)
    # The same check must reject a console program, for the right reason.
    add_test(NAME win.inspect_rejects_console_exe
             COMMAND Python3::Interpreter ${WIN_TESTS_DIR}/inspect_exe.py
                     --objdump ${CMAKE_OBJDUMP} $<TARGET_FILE:hold_file>)
    set_tests_properties(win.inspect_rejects_console_exe PROPERTIES
                         PASS_REGULAR_EXPRESSION "FAIL: subsystem [^\n]*Windows CUI")
endif()

# Under Wine: one fresh prefix for the whole test run, shared by every test
# that starts a Windows program, and the sharing tests with the helper.
if(SEARCHFILTER_EMULATOR)
    set(WINE_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/wine-prefix)
    add_test(NAME win.wine_prefix_setup
             COMMAND ${WIN_TESTS_DIR}/wine_prefix.sh setup ${WINE_PREFIX})
    add_test(NAME win.wine_prefix_cleanup
             COMMAND ${WIN_TESTS_DIR}/wine_prefix.sh cleanup ${WINE_PREFIX})
    set_tests_properties(win.wine_prefix_setup PROPERTIES FIXTURES_SETUP wine_prefix)
    set_tests_properties(win.wine_prefix_cleanup PROPERTIES FIXTURES_CLEANUP wine_prefix)

    set(SHARING_CASES
        input_held_by_writer_counts_as_missing
        input_held_without_read_sharing_counts_as_missing
        input_held_by_reader_is_read
        output_released_within_wait_gets_block
        output_held_by_reader_released_gets_block
        output_held_past_wait_is_untouched
        output_held_by_sharing_reader_gets_block_at_once
        read_only_output_fails_at_once)
    set(SHARING_TESTS "")
    foreach(case_name IN LISTS SHARING_CASES)
        add_test(NAME win.sharing.${case_name}
                 COMMAND Python3::Interpreter ${WIN_TESTS_DIR}/sharing_tests.py
                         --binary $<TARGET_FILE:searchfilter> --holder $<TARGET_FILE:hold_file>
                         --emulator "${SEARCHFILTER_EMULATOR}" ${case_name})
        list(APPEND SHARING_TESTS win.sharing.${case_name})
    endforeach()

    set(WINE_TESTS ${E2E_TESTS} ${SHARING_TESTS})
    if(WINE_TESTS)
        set_tests_properties(${WINE_TESTS} PROPERTIES
                             FIXTURES_REQUIRED wine_prefix ENVIRONMENT WINEPREFIX=${WINE_PREFIX})
    endif()
endif()
