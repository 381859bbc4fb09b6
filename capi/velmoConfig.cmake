# find_package(velmo): the imported targets velmo::velmo (libvelmo.so) and
# velmo::velmo_static (libvelmo.a), each with velmo.h on its include path.
include("${CMAKE_CURRENT_LIST_DIR}/velmoTargets.cmake")
