# Flavours: ansi (8-bit characters), unicode (wide characters, VQ_UNICODE) and the
# debug builds of both (VQ_DEBUG, -O0 -g). A target's name carries "w" for unicode,
# then "d" for debug: vqbase, vqbasew, vqbased, vqbasewd.
set(VQ_ALL_FLAVOURS ansi unicode debug unicode-debug)

include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)

# What a shared library's build may add on this platform. Symbol visibility, binding
# calls to the library's own functions and a run path relative to the library are ELF
# and Mach-O matters: a Windows DLL exports only what is marked and binds its own calls.
set(VQ_LIBRARY_COMPILE_OPTIONS "")
set(VQ_LIBRARY_LINK_OPTIONS "")
set(VQ_LIBRARY_PROPERTIES "")
if(NOT WIN32 AND NOT CYGWIN)
  list(APPEND VQ_LIBRARY_PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(APPLE)
    list(APPEND VQ_LIBRARY_PROPERTIES INSTALL_RPATH "@loader_path")
  else()
    list(APPEND VQ_LIBRARY_PROPERTIES INSTALL_RPATH "$ORIGIN")
    # Calls within a library bind to its own functions: the compiler may inline them
    # and the linker resolves them without the PLT (no one replaces them at load time).
    check_cxx_compiler_flag(-fno-semantic-interposition VQ_HAVE_NO_SEMANTIC_INTERPOSITION)
    if(VQ_HAVE_NO_SEMANTIC_INTERPOSITION)
      list(APPEND VQ_LIBRARY_COMPILE_OPTIONS -fno-semantic-interposition)
    endif()
    check_linker_flag(CXX LINKER:-Bsymbolic-functions VQ_HAVE_BSYMBOLIC_FUNCTIONS)
    if(VQ_HAVE_BSYMBOLIC_FUNCTIONS)
      list(APPEND VQ_LIBRARY_LINK_OPTIONS LINKER:-Bsymbolic-functions)
    endif()
  endif()
endif()

function(vq_flavour_suffix flavour out)
  if(flavour STREQUAL "ansi")
    set(${out} "" PARENT_SCOPE)
  elseif(flavour STREQUAL "unicode")
    set(${out} "w" PARENT_SCOPE)
  elseif(flavour STREQUAL "debug")
    set(${out} "d" PARENT_SCOPE)
  elseif(flavour STREQUAL "unicode-debug")
    set(${out} "wd" PARENT_SCOPE)
  else()
    message(FATAL_ERROR "unknown flavour ${flavour}")
  endif()
endfunction()

# Applies a flavour's definitions and options to a target (libraries, tests, programs).
function(vq_apply_flavour target flavour)
  if(flavour MATCHES "unicode")
    target_compile_definitions(${target} PUBLIC VQ_UNICODE)
  endif()
  if(flavour MATCHES "debug")
    target_compile_definitions(${target} PUBLIC VQ_DEBUG)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
      target_compile_options(${target} PRIVATE -O0 -g)
    endif()
  endif()
endfunction()

# vq_add_library(<name> EXPORT <TAG> [FLAVOURS ...] SOURCES ... [LINKS vq-libs...]
#                [PRIVATE_LIBS ...])
# Defines one shared library per flavour. LINKS name toolkit libraries by their base
# name; each flavour links the libraries of its own flavour. TAG gives the export
# macro's VQMAKING_<TAG>.
function(vq_add_library name)
  cmake_parse_arguments(A "" "EXPORT" "FLAVOURS;SOURCES;LINKS;PRIVATE_LIBS" ${ARGN})
  if(NOT A_FLAVOURS)
    set(A_FLAVOURS ${VQ_ALL_FLAVOURS})
  endif()
  foreach(flavour ${A_FLAVOURS})
    vq_flavour_suffix(${flavour} sfx)
    set(target ${name}${sfx})
    add_library(${target} SHARED ${A_SOURCES})
    add_library(vq::${target} ALIAS ${target})
    vq_apply_flavour(${target} ${flavour})
    target_compile_definitions(${target} PRIVATE VQMAKING_${A_EXPORT})
    target_compile_options(${target} PRIVATE ${VQ_LIBRARY_COMPILE_OPTIONS})
    target_link_options(${target} PRIVATE ${VQ_LIBRARY_LINK_OPTIONS})
    target_include_directories(${target} PUBLIC
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:include>)
    set_target_properties(${target} PROPERTIES ${VQ_LIBRARY_PROPERTIES}
      VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR} EXPORT_NAME ${target})
    foreach(lib ${A_LINKS})
      target_link_libraries(${target} PUBLIC ${lib}${sfx})
    endforeach()
    if(A_PRIVATE_LIBS)
      target_link_libraries(${target} PRIVATE ${A_PRIVATE_LIBS})
    endif()
    set_property(GLOBAL APPEND PROPERTY VQ_INSTALL_TARGETS ${target})
    vq_write_pkgconfig(${target} ${flavour} "${A_LINKS}" "${sfx}")
  endforeach()
endfunction()

# vq_add_test(<subsystem> FLAVOURS ... SOURCES ... LINKS vq-libs... [PRIVATE_LIBS ...]
#             [RERUN <name> FILTER <pattern> ENVIRONMENT <var=value>...])
# One GoogleTest binary per flavour, test_<subsystem>_<flavour>, whose cases CTest runs
# one process each as <Suite>.<Case>.<flavour>, labelled with the subsystem and the
# flavour. RERUN registers the cases matching FILTER once more, as
# <Suite>.<Case>.<name>.<flavour>, run with ENVIRONMENT. With VQ_TEST_PER_CASE off,
# CTest runs each binary whole instead, as <subsystem>.<flavour> (and
# <subsystem>.<name>.<flavour> for RERUN).
function(vq_add_test subsystem)
  cmake_parse_arguments(A "" "RERUN;FILTER" "FLAVOURS;SOURCES;LINKS;PRIVATE_LIBS;ENVIRONMENT"
                        ${ARGN})
  foreach(flavour ${A_FLAVOURS})
    vq_flavour_suffix(${flavour} sfx)
    string(REPLACE "-" "_" fname ${flavour})
    set(target test_${subsystem}_${fname})
    add_executable(${target} ${A_SOURCES})
    vq_apply_flavour(${target} ${flavour})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
    foreach(lib ${A_LINKS})
      target_link_libraries(${target} PRIVATE ${lib}${sfx})
    endforeach()
    target_link_libraries(${target} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main
                          ${A_PRIVATE_LIBS})
    target_compile_definitions(${target} PRIVATE
      VQ_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VQ_TEST_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}")
    if(flavour STREQUAL "unicode-debug")
      set(labels ${subsystem} unicode debug)
    else()
      set(labels ${subsystem} ${flavour})
    endif()
    if(NOT VQ_TEST_PER_CASE)
      add_test(NAME ${subsystem}.${flavour} COMMAND ${target}
               WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
      set_tests_properties(${subsystem}.${flavour} PROPERTIES LABELS "${labels}")
      if(A_RERUN)
        add_test(NAME ${subsystem}.${A_RERUN}.${flavour} COMMAND ${target} --gtest_filter=${A_FILTER}
                 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
        set_tests_properties(${subsystem}.${A_RERUN}.${flavour} PROPERTIES LABELS "${labels}"
                             ENVIRONMENT "${A_ENVIRONMENT}")
      endif()
      continue()
    endif()
    # The cases are listed when ctest runs, not after each link: the build runs no test
    # binary, and a cross build needs its emulator only for the tests.
    set(discovery DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
                  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    gtest_discover_tests(${target} TEST_SUFFIX .${flavour} TEST_LIST ${target}_TESTS
                         ${discovery})
    # NOTE: gtest_discover_tests flattens list-valued PROPERTIES (LABELS "svg;ansi" would
    # become two properties), so the labels are set by a script CTest reads once the
    # cases are known.
    set(script "if(${target}_TESTS)\n  set_tests_properties(\${${target}_TESTS} PROPERTIES LABELS [==[${labels}]==])\nendif()\n")
    if(A_RERUN)
      gtest_discover_tests(${target} TEST_FILTER ${A_FILTER} TEST_SUFFIX .${A_RERUN}.${flavour}
                           TEST_LIST ${target}_${A_RERUN}_TESTS ${discovery})
      string(APPEND script "if(${target}_${A_RERUN}_TESTS)\n  set_tests_properties(\${${target}_${A_RERUN}_TESTS} PROPERTIES LABELS [==[${labels}]==]\n    ENVIRONMENT [==[${A_ENVIRONMENT}]==])\nendif()\n")
    endif()
    set(file ${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake)
    file(WRITE ${file} "${script}")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
  endforeach()
endfunction()

# Writes <target>.pc for installation from cmake/vqlibrary.pc.in: the flavour's
# definitions and the toolkit libraries it requires.
function(vq_write_pkgconfig target flavour links sfx)
  set(VQ_PC_NAME ${target})
  set(VQ_PC_CFLAGS "")
  if(flavour MATCHES "unicode")
    string(APPEND VQ_PC_CFLAGS " -DVQ_UNICODE")
  endif()
  if(flavour MATCHES "debug")
    string(APPEND VQ_PC_CFLAGS " -DVQ_DEBUG")
  endif()
  set(VQ_PC_REQUIRES "")
  foreach(lib ${links})
    string(APPEND VQ_PC_REQUIRES " ${lib}${sfx}")
  endforeach()
  # The prefix is found from the .pc file's own place, so the installed tree can move.
  set(pcdir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  if(IS_ABSOLUTE "${pcdir}")
    set(VQ_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  else()
    file(RELATIVE_PATH up "/prefix/${pcdir}" "/prefix")
    string(REGEX REPLACE "/$" "" up "${up}")
    set(VQ_PC_PREFIX "\${pcfiledir}/${up}")
  endif()
  set(pc "${CMAKE_BINARY_DIR}/pkgconfig/${target}.pc")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/vqlibrary.pc.in ${pc} @ONLY)
  install(FILES ${pc} DESTINATION ${pcdir})
endfunction()
