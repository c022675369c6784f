# GoogleTest for the tests: the installed package on a native build; when cross-compiling,
# Debian's googletest sources built with the same toolchain, since the installed libraries are
# for the build machine.
set(CORVANE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross-builds")

if(CMAKE_CROSSCOMPILING)
  if(NOT EXISTS ${CORVANE_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "Cross-building the tests needs GoogleTest's sources in "
                        "${CORVANE_GTEST_SOURCE} (Debian package googletest)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${CORVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
