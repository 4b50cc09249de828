# The Windows build (cmake --preset windows, cross-compiled with MinGW-w64 and run
# under Wine): the parts of the toolkit stand-in that have a Windows backend so far,
# their tests, and the header check. Included by the top-level CMakeLists.txt in place
# of the Linux build, which needs libraries Windows does not have.

# DLLs and import libraries named as on Windows (vqbase.dll, vqbase.dll.a), all in one
# directory with the programs, where Windows looks for a program's DLLs.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_PREFIX "")
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The base library: the portable sources, with the Win32 backend for each concern in
# place of the POSIX one.
set(vq_base_sources app.cpp array.cpp file.cpp log.cpp object.cpp string.cpp variant.cpp
    win32/win32_file.cpp)
list(TRANSFORM vq_base_sources PREPEND ${PROJECT_SOURCE_DIR}/toolkit/base/)
vq_add_library(vqbase EXPORT BASE SOURCES ${vq_base_sources})

if(VQ_BUILD_TESTS)
  enable_testing()
  # GoogleTest from Debian's sources, built with the cross compiler.
  set(VQ_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
  if(NOT EXISTS ${VQ_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources are not in ${VQ_GOOGLETEST_SOURCE_DIR} "
                        "(scripts/install-deps.sh windows installs googletest)")
  endif()
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${VQ_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  include(GoogleTest)
  vq_add_test(toolkit FLAVOURS ansi unicode debug
    SOURCES ${PROJECT_SOURCE_DIR}/tests/toolkit/string_test.cpp
    LINKS vqbase)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/headers ${CMAKE_BINARY_DIR}/tests/headers)
endif()
