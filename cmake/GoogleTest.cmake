# GoogleTest for the tests. Natively the system's package; when cross-compiling it is built for
# the target from Debian's sources (package googletest), never downloaded.
if(CMAKE_CROSSCOMPILING)
  set(TORNEVO_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
      "GoogleTest sources built for the target when cross-compiling")
  if(NOT EXISTS ${TORNEVO_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${TORNEVO_GTEST_SOURCE_DIR}: "
                        "install Debian's googletest package or set TORNEVO_GTEST_SOURCE_DIR")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${TORNEVO_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest
                   EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
