# A cross build takes its header-only dependencies (CLI11, nlohmann-json) and the GoogleTest
# sources from the build machine's packages (libcli11-dev, nlohmann-json3-dev, googletest):
# nothing is downloaded, and no library built for the build machine is linked.
#
# The headers are not used from /usr/include directly: that folder also holds the build
# machine's C library headers, which would shadow the target's. Each package's own folder is
# linked into a folder of the build tree that holds nothing else.

set(BRENZO_HOST_INCLUDE_DIR /usr/include CACHE PATH "where the build machine keeps CLI/ and nlohmann/")
set(BRENZO_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")

set(_brenzo_headers ${CMAKE_BINARY_DIR}/build-machine-headers)

function(brenzo_header_only_target target folder probe)
  if(TARGET ${target})
    return()
  endif()
  if(NOT EXISTS ${BRENZO_HOST_INCLUDE_DIR}/${folder}/${probe})
    message(FATAL_ERROR "${BRENZO_HOST_INCLUDE_DIR}/${folder}/${probe} is missing: run scripts/setup")
  endif()
  file(MAKE_DIRECTORY ${_brenzo_headers})
  if(NOT EXISTS ${_brenzo_headers}/${folder})
    file(CREATE_LINK ${BRENZO_HOST_INCLUDE_DIR}/${folder} ${_brenzo_headers}/${folder} SYMBOLIC)
  endif()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_brenzo_headers})
endfunction()

# A MinGW build of either package installed under the find root wins.
find_package(CLI11 CONFIG QUIET)
find_package(nlohmann_json CONFIG QUIET)
brenzo_header_only_target(CLI11::CLI11 CLI CLI.hpp)
brenzo_header_only_target(nlohmann_json::nlohmann_json nlohmann json.hpp)

if(BUILD_TESTING AND NOT TARGET GTest::gtest)
  if(NOT EXISTS ${BRENZO_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources are missing at ${BRENZO_GOOGLETEST_SOURCE_DIR}: run scripts/setup")
  endif()
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Defines GTest::gtest, GTest::gtest_main, GTest::gmock and GTest::gmock_main.
  add_subdirectory(${BRENZO_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # Unoptimised, like the tests: optimising it takes longer than every test it runs here.
  foreach(target gtest gtest_main gmock gmock_main)
    target_compile_options(${target} PRIVATE -O0)
  endforeach()
endif()
