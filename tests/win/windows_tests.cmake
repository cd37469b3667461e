# Windows-only tests, included from tests/CMakeLists.txt in a Windows build.
set(WIN_TESTS_DIR ${CMAKE_CURRENT_SOURCE_DIR}/win)

# "Another process" that holds one of the filter's files open (console helper).
add_executable(hold_file ${WIN_TESTS_DIR}/hold_file.cpp)
target_link_libraries(hold_file PRIVATE searchfilter_warnings)
target_link_options(hold_file PRIVATE -static -static-libgcc -static-libstdc++)

# Both .exe builds: format, subsystem, imports, version information and
# manifest. The shipped one is the 32-bit one.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(EXE_MACHINE i386)
else()
    set(EXE_MACHINE x86-64)
endif()
set(INSPECT_EXE ${Python3_EXECUTABLE} ${WIN_TESTS_DIR}/inspect_exe.py --objdump ${CMAKE_OBJDUMP}
                --machine ${EXE_MACHINE} --version ${SEARCHFILTER_VERSION_DOTS})
add_test(NAME win.inspect_exe_self_test
         COMMAND ${Python3_EXECUTABLE} ${WIN_TESTS_DIR}/inspect_exe.py --self-test)
add_test(NAME win.inspect_exe COMMAND ${INSPECT_EXE} $<TARGET_FILE:searchfilter>)
# The same checks must reject a console program without resources, for the
# right reasons.
add_test(NAME win.inspect_rejects_console_exe COMMAND ${INSPECT_EXE} $<TARGET_FILE:hold_file>)
set_tests_properties(win.inspect_rejects_console_exe PROPERTIES
                     PASS_REGULAR_EXPRESSION "FAIL: subsystem [^\n]*Windows CUI")
add_test(NAME win.inspect_rejects_exe_without_resources
         COMMAND ${INSPECT_EXE} $<TARGET_FILE:hold_file>)
set_tests_properties(win.inspect_rejects_exe_without_resources PROPERTIES
                     PASS_REGULAR_EXPRESSION "FAIL: version resource missing\nFAIL: application manifest[^\n]*missing")

# Under Wine: the sharing rules, with the helper as the other process.
if(CMAKE_CROSSCOMPILING_EMULATOR)
    set(SHARING_CASES
        input_held_by_writer_counts_as_missing
        input_held_without_read_sharing_counts_as_missing
        input_held_by_reader_is_read
        output_released_within_wait_gets_block
        output_held_by_reader_released_gets_block
        output_held_past_wait_is_untouched
        output_held_by_sharing_reader_gets_block_at_once
        read_only_output_fails_at_once)
    foreach(case_name IN LISTS SHARING_CASES)
        add_test(NAME win.sharing.${case_name}
                 COMMAND ${Python3_EXECUTABLE} ${WIN_TESTS_DIR}/sharing_tests.py
                         --binary $<TARGET_FILE:searchfilter> --holder $<TARGET_FILE:hold_file>
                         --emulator "${PROGRAM_EMULATOR}" ${case_name})
        list(APPEND PROGRAM_TESTS win.sharing.${case_name})
    endforeach()

    # The front ends: the Win32 one (search_tree.exe, which starts the
    # searchfilter.exe beside it) on a tree of names Windows allows, and the
    # reference one (tools/search_tree.py) driving this .exe on a tree of
    # Linux names (backslashes, bytes that are not UTF-8).
    set(FRONTEND_TEST ${CMAKE_CURRENT_SOURCE_DIR}/frontend/search_tree_test.py)
    add_test(NAME win.frontend.search_tree_exe
             COMMAND ${Python3_EXECUTABLE} ${FRONTEND_TEST} --windows-frontend
                     $<TARGET_FILE:search_tree> --emulator "${PROGRAM_EMULATOR}")
    add_test(NAME win.frontend.search_tree_py
             COMMAND ${Python3_EXECUTABLE} ${FRONTEND_TEST} --wine $<TARGET_FILE:searchfilter>)
    list(APPEND PROGRAM_TESTS win.frontend.search_tree_exe win.frontend.search_tree_py)
endif()
