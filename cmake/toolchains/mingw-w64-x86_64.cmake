# Cross-compiles for 64-bit Windows with MinGW-w64 (the posix thread model, which
# has std::mutex and std::thread) and runs the programs it builds under Wine through
# scripts/wine-run.sh: quiet, under a time limit, in a Wine prefix of the build tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VQ_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VQ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VQ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VQ_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VQ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages also from the prefixes given (CMAKE_PREFIX_PATH), such as an install tree of
# these libraries, not only from the MinGW root.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# The MinGW runtime DLLs (libstdc++, libgcc, winpthread) every program and DLL built
# here needs: Wine finds them on WINEPATH, and the install tree carries copies.
set(VQ_MINGW_RUNTIME_DLLS "")
set(vq_wine_paths "")
set(vq_runtime_dirs "")
foreach(name libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                  OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(IS_ABSOLUTE "${dll}" AND EXISTS "${dll}")
    file(REAL_PATH "${dll}" dll)
    list(APPEND VQ_MINGW_RUNTIME_DLLS ${dll})
    get_filename_component(dir "${dll}" DIRECTORY)
    if(NOT dir IN_LIST vq_runtime_dirs)
      list(APPEND vq_runtime_dirs ${dir})
      list(APPEND vq_wine_paths --path ${dir})
    endif()
  endif()
endforeach()
set(VQ_WINE_TIMEOUT 600 CACHE STRING "Seconds a program may run under Wine before it is killed")
get_filename_component(vq_source_dir "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${vq_source_dir}/scripts/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wine
    --timeout ${VQ_WINE_TIMEOUT} ${vq_wine_paths})
