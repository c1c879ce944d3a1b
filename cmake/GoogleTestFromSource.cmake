# GoogleTest for a cross build: Debian's compiled libraries serve the host
# only, so the sources Debian ships (package googletest) are built with the
# cross compiler. Provides the targets the native find_package(GTest) does.
set(VORT64_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
if(NOT EXISTS "${VORT64_GOOGLETEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${VORT64_GOOGLETEST_SOURCE}; "
                      "tools/install-deps --windows installs them")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory("${VORT64_GOOGLETEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)

foreach(lib gtest gtest_main gmock gmock_main)
  # Third-party code: built with its own flags, not the project's -Werror set.
  set_property(TARGET ${lib} PROPERTY COMPILE_OPTIONS -w)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
