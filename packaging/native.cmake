# The native library as it is installed.
# Libraries go to the multiarch folder, as Debian keeps them (lib/x86_64-linux-gnu).
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The layers in the library, by folder (each one's target is corvane_<folder>). Every object of
# the layers goes in, though nothing inside the library calls the public API; the public
# headers are each layer's include/.
set(public_folders server classes registry platform runtime)
set(objects "")
foreach(folder ${public_folders})
  list(APPEND objects $<TARGET_OBJECTS:corvane_${folder}>)
endforeach()
add_library(corvane_shared SHARED ${objects})
foreach(folder ${public_folders})
  target_link_libraries(corvane_shared PRIVATE $<TARGET_PROPERTY:corvane_${folder},LINK_LIBRARIES>)
  target_include_directories(corvane_shared PUBLIC
                             $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/${folder}/include>)
endforeach()
# A symbol that none of the layers defines fails the link, not the host that loads the library
# (the sanitizers' runtime is the program's, so their trees leave this out).
if(NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
  target_link_options(corvane_shared PRIVATE -Wl,--no-undefined)
endif()
set_target_properties(corvane_shared PROPERTIES
  OUTPUT_NAME corvane
  EXPORT_NAME corvane
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})
target_include_directories(corvane_shared PUBLIC $<BUILD_INTERFACE:${CORVANE_GENERATED_INCLUDE}>
                                                 $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(corvane_shared INTERFACE cxx_std_20)

# What is installed, by package.
install(TARGETS corvane_shared EXPORT CorvaneTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev)
foreach(folder ${public_folders})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/include/corvane
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev FILES_MATCHING PATTERN "*.h")
endforeach()
install(FILES ${CORVANE_GENERATED_INCLUDE}/corvane/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/corvane COMPONENT dev)

set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Corvane)
install(EXPORT CorvaneTargets NAMESPACE Corvane:: DESTINATION ${cmake_dir} COMPONENT dev)
# The same package in the build tree, beside its CorvaneConfig.cmake (-DCorvane_DIR=this folder).
export(EXPORT CorvaneTargets NAMESPACE Corvane:: FILE ${CMAKE_CURRENT_BINARY_DIR}/CorvaneTargets.cmake)
configure_package_config_file(CorvaneConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/CorvaneConfig.cmake
                              INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/CorvaneConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/CorvaneConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/CorvaneConfigVersion.cmake
        DESTINATION ${cmake_dir} COMPONENT dev)
# The pkg-config file finds the prefix from its own place, so an installed tree can be moved.
file(RELATIVE_PATH pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
configure_file(corvane.pc.in ${CMAKE_CURRENT_BINARY_DIR}/corvane.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/corvane.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

install(TARGETS corvane_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
# Manual pages and changelogs are installed compressed, as Debian keeps them.
set(man_gz ${CMAKE_CURRENT_BINARY_DIR}/corvane.1.gz)
add_custom_command(OUTPUT ${man_gz}
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/corvane.1 > ${man_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/corvane.1)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz)
configure_file(changelog.Debian.in ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND gzip -9n -c ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian > ${changelog_gz}
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian)
# The library's page and the reference go with the headers.
set(man3_gz ${CMAKE_CURRENT_BINARY_DIR}/corvane.3.gz)
add_custom_command(OUTPUT ${man3_gz}
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/corvane.3 > ${man3_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/corvane.3)
set(reference_gz ${CMAKE_CURRENT_BINARY_DIR}/reference.md.gz)
add_custom_command(OUTPUT ${reference_gz}
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/reference.md > ${reference_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/reference.md)
add_custom_target(corvane_docs ALL DEPENDS ${man_gz} ${man3_gz} ${reference_gz} ${changelog_gz})
install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
install(FILES ${man3_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT dev)
install(FILES ${reference_gz} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libcorvane-dev COMPONENT dev)

# Each package carries the licence as its copyright file, and the changelog.
set(package_lib libcorvane1)
set(package_dev libcorvane-dev)
set(package_tool corvane)
foreach(component lib dev tool)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package_${component}}
          RENAME copyright COMPONENT ${component})
  install(FILES ${changelog_gz} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package_${component}}
          COMPONENT ${component})
endforeach()

