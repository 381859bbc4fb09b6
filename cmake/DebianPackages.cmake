# `cpack -G DEB` makes one package a component, split as Debian splits a library: the
# programs (velmo), the run-time library named for its SONAME (libvelmo1), what building
# against it needs (libvelmo-dev), the picture reader's library and its development files
# (libvelmo-scan1, libvelmo-scan-dev), and the Python module (python3-velmo). Install rules
# that name no component belong to the programs.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs runtime dev scan-runtime scan-dev)
if(TARGET velmo_python)
    list(APPEND CPACK_COMPONENTS_ALL python)
endif()
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME velmo)
set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# Qt's own texts in Chinese, as the fields' context menus show them; without them they
# read in English.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_RECOMMENDS qt6-translations-l10n)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libvelmo${VELMO_SOVERSION})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The shlibs file (made for the packages with a SONAME, so this one) that lets dpkg-shlibdeps
# name this package for programs linked against it; CPack adds ldconfig to its postinst and
# postrm.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "The shared library of velmo's solver, with a C interface: the first solution in the\n"
    "search's order, the count of solutions and the consistency check of a grid.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvelmo-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "The development files of velmo's solver: the header velmo.h, the static library,\n"
    "the pkg-config file and the CMake package (find_package(velmo), target velmo::velmo).")

# The picture reader's packages, apart so that libvelmo's users need no OpenCV; this one's
# dependencies on OpenCV's libraries come from dpkg-shlibdeps.
set(CPACK_DEBIAN_SCAN-RUNTIME_PACKAGE_NAME libvelmo-scan${VELMO_SCAN_SOVERSION})
set(CPACK_DEBIAN_SCAN-RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_SCAN-RUNTIME_DESCRIPTION
    "The shared library of velmo's picture reader, with a C interface: the puzzle in a\n"
    "photo or a screenshot, each cell's certainty, and the solver's check of the reading.")
set(CPACK_DEBIAN_SCAN-DEV_PACKAGE_NAME libvelmo-scan-dev)
set(CPACK_DEBIAN_SCAN-DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_SCAN-DEV_DEPENDS scan-runtime)
set(CPACK_COMPONENT_SCAN-DEV_DESCRIPTION
    "The development files of velmo's picture reader: the header velmo_scan.h and the\n"
    "pkg-config file velmo-scan.pc.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-velmo)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "${VELMO_PYTHON_DEPENDS}, python3-numpy")
set(CPACK_COMPONENT_PYTHON_DESCRIPTION
    "The Python 3 module of velmo's solver, import velmo: solve, count and check puzzles\n"
    "one at a time or in numpy batches on every core, and read and write puzzle files as\n"
    "velmo-solve does.")

# Each description follows the summary every package gets, CPACK_PACKAGE_DESCRIPTION_SUMMARY.
foreach(component RUNTIME DEV SCAN-RUNTIME SCAN-DEV PYTHON)
    string(REPLACE ";" "" CPACK_COMPONENT_${component}_DESCRIPTION
        "${CPACK_COMPONENT_${component}_DESCRIPTION}")
endforeach()
