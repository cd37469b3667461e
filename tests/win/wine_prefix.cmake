# Under Wine: one fresh prefix for the whole test run, of the kind this build's
# programs need, with one wineserver that stays up until the run's end, shared
# by every test that starts a Windows program (PROGRAM_TESTS). Included last
# from tests/CMakeLists.txt.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(WINE_PREFIX_KIND win32)
else()
    set(WINE_PREFIX_KIND win64)
endif()
set(WINE_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/wine-prefix)
add_test(NAME win.wine_prefix_setup
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win/wine_prefix.sh setup ${WINE_PREFIX} ${WINE_PREFIX_KIND})
add_test(NAME win.wine_prefix_cleanup
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win/wine_prefix.sh cleanup ${WINE_PREFIX})
set_tests_properties(win.wine_prefix_setup PROPERTIES FIXTURES_SETUP wine_prefix)
set_tests_properties(win.wine_prefix_cleanup PROPERTIES FIXTURES_CLEANUP wine_prefix)
if(PROGRAM_TESTS)
    set_tests_properties(${PROGRAM_TESTS} PROPERTIES
                         FIXTURES_REQUIRED wine_prefix ENVIRONMENT WINEPREFIX=${WINE_PREFIX})
endif()
