# GoogleTest for the Windows build, compiled from Debian's sources (package
# googletest) with the mingw-w64 toolchain; GoogleMock is not needed.
# It names its libraries GTest::gtest and GTest::gtest_main itself.
set(TALVARO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TALVARO_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
