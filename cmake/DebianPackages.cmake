# `cpack -G DEB` makes one package a component, split as Debian splits a library: the
# programs (velmo), the run-time library named for its SONAME (libvelmo1), what building
# against it needs (libvelmo-dev), and the Python module (python3-velmo). Install rules that
# name no component belong to the programs.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs runtime dev)
if(TARGET velmo_python)
    list(APPEND CPACK_COMPONENTS_ALL python)
endif()
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME velmo)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libvelmo${VELMO_SOVERSION})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The shlibs file that lets dpkg-shlibdeps name this package for programs linked against it,
# and the ldconfig trigger.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "solver for 9 x 9 number-placement puzzles - shared library\n"
    "velmo's solver with a C interface: the first solution in the search's order, the\n"
    "count of solutions and the consistency check of a grid.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvelmo-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "solver for 9 x 9 number-placement puzzles - development files\n"
    "The header velmo.h, the static library, and the pkg-config file and CMake package\n"
    "(find_package(velmo), target velmo::velmo) for building programs with velmo's solver.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-velmo)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "${VELMO_PYTHON_DEPENDS}, python3-numpy")
set(CPACK_COMPONENT_PYTHON_DESCRIPTION
    "solver for 9 x 9 number-placement puzzles - Python 3 module\n"
    "import velmo: solve, count and check puzzles one at a time or in numpy batches on\n"
    "every core, and read and write puzzle files as velmo-solve does.")

foreach(component RUNTIME DEV PYTHON)
    string(REPLACE ";" "" CPACK_COMPONENT_${component}_DESCRIPTION
        "${CPACK_COMPONENT_${component}_DESCRIPTION}")
endforeach()
