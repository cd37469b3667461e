# Install rules and packages: the program with its README and LICENSE, nothing else.
#   Linux:   bin/searchfilter and share/doc/searchfilter/{README.md,LICENSE}, as a .tar.gz
#            and a .deb (cpack --preset release)
#   Windows: searchfilter.exe, README.md and LICENSE side by side, as a .zip
#            (cpack --preset windows-i686: searchfilter-<version>-win32.zip)
# The version everywhere is the project's: project(searchfilter VERSION ...).
if(WIN32)
    install(TARGETS searchfilter RUNTIME DESTINATION .)
    install(FILES README.md LICENSE DESTINATION .)
else()
    include(GNUInstallDirs)
    install(TARGETS searchfilter RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME searchfilter)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the searchfilter authors")
set(CPACK_PACKAGE_CONTACT "the searchfilter authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "windowless batch filter that keeps the file locations matching search terms")
set(CPACK_PACKAGE_DESCRIPTION
    "A file-search front end writes four UTF-8 lists into a folder (a tree name,
search terms, folders, file names) and starts searchfilter there. It keeps
every location whose folder or file name contains one of the terms, ignoring
letter case, and appends the kept locations under a header line to the output
list. It takes no arguments, prints nothing and always exits with code 0.")

if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(SEARCHFILTER_PACKAGE_PLATFORM win32)
    else()
        set(SEARCHFILTER_PACKAGE_PLATFORM win64)
    endif()
    set(CPACK_GENERATOR ZIP)
else()
    string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" SEARCHFILTER_PACKAGE_PLATFORM)
    set(CPACK_GENERATOR TGZ DEB)
endif()
set(CPACK_PACKAGE_FILE_NAME searchfilter-${PROJECT_VERSION}-${SEARCHFILTER_PACKAGE_PLATFORM})

# The .deb: searchfilter_<version>_<architecture>.deb. Its dependencies are read off the
# program by dpkg-shlibdeps (none for the statically linked release build).
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
