# cmake --install: the two programs, both libraries with the one public
# header, a pkg-config file, a CMake package (find_package(karvona) gives
# karvona::karvona, the shared library, and karvona::karvona_static) and the
# man pages in man/, sorted into sections by their suffix. Every installed
# file finds the others relative to itself, so --prefix may change at install
# time.

include(CMakePackageConfigHelpers)

install(TARGETS karvona karvona-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS karvona_shared karvona_core EXPORT karvona-targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/karvona.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(packageDir ${CMAKE_INSTALL_LIBDIR}/cmake/karvona)
install(EXPORT karvona-targets NAMESPACE karvona:: DESTINATION ${packageDir})
configure_package_config_file(cmake/karvona-config.cmake.in
  ${PROJECT_BINARY_DIR}/karvona-config.cmake INSTALL_DESTINATION ${packageDir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/karvona-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/karvona-config.cmake
              ${PROJECT_BINARY_DIR}/karvona-config-version.cmake DESTINATION ${packageDir})

file(RELATIVE_PATH KARVONA_PC_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" KARVONA_PC_PREFIX ${KARVONA_PC_PREFIX})
configure_file(cmake/karvona.pc.in ${PROJECT_BINARY_DIR}/karvona.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/karvona.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

file(GLOB manPages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.[1-9])
foreach(page IN LISTS manPages)
  string(REGEX MATCH "[1-9]$" section ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
