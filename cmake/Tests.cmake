# GoogleTest from Debian's sources, cross-compiled; one test program per subsystem, run under Wine.
set(DRAVNETTA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest package)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${DRAVNETTA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

get_filename_component(DRAVNETTA_SHARED ${CMAKE_SOURCE_DIR}/../shared ABSOLUTE)
string(REPLACE "/" "\\" DRAVNETTA_SHARED_WIN "Z:${DRAVNETTA_SHARED}")
set(DRAVNETTA_TEST_TIMEOUT 900 CACHE STRING "Seconds one test program may run")

file(GLOB_RECURSE support_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(testsupport STATIC ${support_sources})
target_link_libraries(testsupport PUBLIC foundation gdiplus gmock gtest)
target_include_directories(testsupport PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)

# dravnetta_test(name folder libs...)
function(dravnetta_test name folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources} $<TARGET_OBJECTS:resources>)
  target_link_libraries(${name} PRIVATE ${ARGN} testsupport)
  target_link_options(${name} PRIVATE -static)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${DRAVNETTA_TEST_TIMEOUT}
    ENVIRONMENT "DRAVNETTA_SHARED=${DRAVNETTA_SHARED_WIN};DRAVNETTA_BUILD=Z:${CMAKE_BINARY_DIR};DRAVNETTA_TEST_TIMEOUT=${DRAVNETTA_TEST_TIMEOUT}")
endfunction()

dravnetta_test(test_foundation foundation foundation)
dravnetta_test(test_model model model)
dravnetta_test(test_regimport regimport regimport)
dravnetta_test(test_views views views shell)
dravnetta_test(test_validation validation validation shell)
dravnetta_test(test_shell shell shell)

# Test programs with windows share one display and Wine's one foreground window: focus taken or input
# synthesized by one must not land in another's window, so these take turns; the others run alongside.
foreach(windowed test_foundation test_views test_validation test_shell)
  if(TEST ${windowed})
    set_tests_properties(${windowed} PROPERTIES RESOURCE_LOCK desktop)
  endif()
endforeach()

# msidump: a console program that prints any database through the model; the model tests share its code.
add_executable(msidump ${CMAKE_SOURCE_DIR}/tests/tools/MsiDump.cpp ${CMAKE_SOURCE_DIR}/tests/tools/ModelDump.cpp)
target_link_libraries(msidump PRIVATE model)
target_include_directories(msidump PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_options(msidump PRIVATE -static -municode)
if(TARGET test_model)
  target_sources(test_model PRIVATE ${CMAKE_SOURCE_DIR}/tests/tools/ModelDump.cpp)
endif()

include(cmake/TestCub.cmake)
include(cmake/TestPackages.cmake)

# The validation tests open documents in frames and work dialogs as the shell's tests do.
if(TARGET test_validation)
  target_sources(test_validation PRIVATE ${CMAKE_SOURCE_DIR}/tests/shell/ShellTesting.cpp
    ${CMAKE_SOURCE_DIR}/tests/shell/PackageTesting.cpp)
endif()
