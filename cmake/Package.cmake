# `make package`: a Debian package of the command, the libraries, their headers and the CMake package.
# Its run path is relative ($ORIGIN/../lib), so an unpacked copy runs wherever it lies; dpkg-shlibdeps
# derives the Debian dependencies from what the binaries link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvid-fileio)
set(CPACK_PACKAGE_VENDOR "Orvid")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Orvid file input/output interface, LAS/LAZ plug-in and orvid-compare")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "The file input/output interface of the Orvid airborne-lidar survey suite, its LAS and LAZ plug-in, "
    "orvid-compare, which pairs the points of a reference and a test cloud by GPS time and return "
    "number and reports what was added, removed, moved or altered, and the Python package orvid, which "
    "gives the same comparison and its points as NumPy arrays.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvid survey-processing team <survey-processing@orvid.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# orvid-compare loads PROJ at run time, where dpkg-shlibdeps cannot see it: the package that holds the
# library the build found is named here.
find_package(PROJ CONFIG REQUIRED)
get_target_property(proj_library PROJ::proj LOCATION)
execute_process(COMMAND dpkg-query --search ${proj_library} OUTPUT_VARIABLE proj_owner
    RESULT_VARIABLE proj_query ERROR_QUIET)
string(REGEX MATCH "^[^:]+" proj_package "${proj_owner}")
if(proj_query EQUAL 0 AND proj_package)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS ${proj_package})
else()
    message(WARNING "no Debian package holds ${proj_library}: the package will not depend on PROJ")
endif()
# The Python package `orvid` is built for the minor version of Debian's python3 that the build found,
# and returns its points in NumPy arrays; the command and the libraries need neither.
if(TARGET _orvid)
    math(EXPR next_minor "${FILEIO_PYTHON_MINOR} + 1")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
        "python3 (>= 3.${FILEIO_PYTHON_MINOR}), python3 (<< 3.${next_minor}), python3-numpy")
endif()
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
