# The .exe's resources: version information from project(... VERSION ...) and
# the application manifest, compiled with the toolchain's windres. Included
# from the root CMakeLists.txt in a Windows build, once filter/ has made the
# program; the inspection test reads the same variables.
enable_language(RC)

# Four numbers, as Windows shows them; parts the project leaves out are 0.
set(SEARCHFILTER_VERSION_PARTS)
foreach(part MAJOR MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
        list(APPEND SEARCHFILTER_VERSION_PARTS 0)
    else()
        list(APPEND SEARCHFILTER_VERSION_PARTS ${PROJECT_VERSION_${part}})
    endif()
endforeach()
list(JOIN SEARCHFILTER_VERSION_PARTS "," SEARCHFILTER_VERSION_COMMAS)
list(JOIN SEARCHFILTER_VERSION_PARTS "." SEARCHFILTER_VERSION_DOTS)
set(SEARCHFILTER_DESCRIPTION "Keeps the file locations whose folder or file name holds a search term")
set(SEARCHFILTER_COPYRIGHT "Copyright (c) 2026 the searchfilter authors")
set(SEARCHFILTER_MANIFEST ${CMAKE_CURRENT_LIST_DIR}/../windows/searchfilter.manifest)
cmake_path(NORMAL_PATH SEARCHFILTER_MANIFEST)

configure_file(${CMAKE_CURRENT_LIST_DIR}/../windows/searchfilter.rc.in
               ${CMAKE_CURRENT_BINARY_DIR}/searchfilter.rc @ONLY)
target_sources(searchfilter PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/searchfilter.rc)
# windres reads the manifest itself: a changed manifest rebuilds the resources.
set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/searchfilter.rc APPEND PROPERTY
             OBJECT_DEPENDS ${SEARCHFILTER_MANIFEST})
