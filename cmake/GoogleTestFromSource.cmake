# GoogleTest for the cross build. Debian's libgtest-dev ships the host
# libraries and the sources; the sources are built here with the cross
# compiler (no download); they define GTest::gtest and GTest::gtest_main.
set(VANTREL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build")
if(NOT EXISTS ${VANTREL_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${VANTREL_GTEST_SOURCE_DIR} (Debian: libgtest-dev)")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Win32 threads inside GoogleTest rather than winpthread.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${VANTREL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
