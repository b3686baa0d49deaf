# The Debian packages, made by CPack from the install components:
#   libcorvane1     (lib)   the shared library
#   libcorvane-dev  (dev)   headers, CMake package, corvane.pc, the .so link
#   corvane         (tool)  the corvane tool and its man page
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VENDOR "Corvane developers")
set(CPACK_PACKAGE_CONTACT "Corvane developers <developers@corvane.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL lib dev tool)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://corvane.example/")
# Each package's description below begins with its own synopsis line; CPack puts a summary
# before it unless the summary is CPack's default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libcorvane1)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
# The shlibs file (only the shared library has a SONAME) and the ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The library's ldconfig trigger (CPack's own maintainer scripts also call ldconfig).
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/debian/triggers)
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_LIB_DESCRIPTION
    "in-process automation component, shared library\nThe Corvane classes Tarnel (text cipher, string splitting and rearranging,\na responsive timed pause), Registry and Declares (registry access by handle\nand by key path over an embedded SQLite store), for native C++ hosts.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libcorvane-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
    "libcorvane1 (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}), libsqlite3-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "in-process automation component, development files\nThe C++ headers of the Corvane classes with typed calls and late binding, the\nCMake package (find_package(Corvane)) and the pkg-config file corvane.pc.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME corvane)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOL_DESCRIPTION
    "command-line host of the Corvane automation component\nThe corvane tool calls the Corvane classes by programmatic identifier, runs\nsessions of statements, and looks into the registry store (show, export and\nimport of .reg files, dump, restore and check).")

include(CPack)
