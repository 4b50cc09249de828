# Settings of the Windows build (cmake --preset windows, cross-compiled with MinGW-w64
# and run under Wine). Each component's CMakeLists.txt picks its Windows backends.

# DLLs and import libraries named as on Windows (vqbase.dll, vqbase.dll.a), all in one
# directory with the programs, where Windows looks for a program's DLLs.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_PREFIX "")
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

# Builds GoogleTest from Debian's sources with the cross compiler, as the targets
# GTest::gtest, GTest::gmock and GTest::gtest_main.
macro(vq_build_googletest)
  set(VQ_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
  if(NOT EXISTS ${VQ_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources are not in ${VQ_GOOGLETEST_SOURCE_DIR} "
                        "(scripts/install-deps.sh windows installs googletest)")
  endif()
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${VQ_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gmock gtest_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endmacro()
