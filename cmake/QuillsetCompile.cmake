# Compiler settings shared by every target of the project.

add_library(quillset_options INTERFACE)
target_compile_options(quillset_options INTERFACE
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wno-unused-parameter
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
target_include_directories(quillset_options INTERFACE ${PROJECT_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(quillset_options INTERFACE Threads::Threads ${CMAKE_DL_LIBS})

# Assertions guard internal invariants; keep them in every build but Release.
if(NOT CMAKE_BUILD_TYPE STREQUAL "Release")
  target_compile_options(quillset_options INTERFACE -UNDEBUG)
endif()

if(QUILLSET_SANITIZE OR QUILLSET_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QUILLSET_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUILLSET_FUZZ needs clang (CXX=clang++)")
  endif()
  # Every library is instrumented for coverage; only the fuzz targets link the fuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# quillset_add_tests(NAME LABEL SOURCES... LIBS ...): one GoogleTest executable with a CTest label.
function(quillset_add_tests name label)
  if(NOT QUILLSET_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_SOURCES)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quillset_options GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} PROPERTIES LABELS ${label} DISCOVERY_TIMEOUT 60)
endfunction()

# Libraries the program loads at run time from its own folder (motion-search packages, noise
# reduction plug-ins, the AC-3 library). Everything that runs the program's code builds them first.
function(quillset_runtime_module target)
  set_property(GLOBAL APPEND PROPERTY QUILLSET_RUNTIME_MODULES ${target})
endfunction()

# Called once at the end of the top folder, when all targets exist.
function(quillset_depend_on_runtime_modules)
  get_property(modules GLOBAL PROPERTY QUILLSET_RUNTIME_MODULES)
  if(NOT modules)
    return()
  endif()
  foreach(user quillset quillset_bench kernels_bench qs_encoder_tests qs_conformance_tests qs_app_tests
               qs_source_tests)
    if(TARGET ${user})
      add_dependencies(${user} ${modules})
    endif()
  endforeach()
endfunction()
