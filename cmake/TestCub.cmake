# The ICE suites the validation tests run: a custom-action DLL from tools/testcub and two .cub files made
# from its .idt tables by msitools' msibuild. x86_64 only: an i686 ICE DLL makes the installer hang
# under Wine, and the i686 tests are not run.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  return()
endif()
find_program(DRAVNETTA_MSIBUILD msibuild)
if(NOT DRAVNETTA_MSIBUILD)
  message(WARNING "msibuild (msitools) is missing: the validation run tests will skip")
  return()
endif()

set(cub_folder ${CMAKE_BINARY_DIR}/testcub)
add_library(TestIce SHARED ${CMAKE_SOURCE_DIR}/tools/testcub/TestIce.cpp)
target_link_libraries(TestIce PRIVATE msi)
target_link_options(TestIce PRIVATE -static -Wl,--kill-at)
set_target_properties(TestIce PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${cub_folder}/Binary)

set(cub_tables ${CMAKE_SOURCE_DIR}/tools/testcub)
add_custom_command(OUTPUT ${cub_folder}/TestSuite.cub ${cub_folder}/TestSuite2.cub
  COMMAND ${CMAKE_COMMAND} -E copy ${cub_tables}/Binary.idt ${cub_tables}/CustomAction.idt ${cub_tables}/_ICESequence.idt ${cub_folder}
  COMMAND ${CMAKE_COMMAND} -E rm -f TestSuite.cub TestSuite2.cub
  COMMAND ${DRAVNETTA_MSIBUILD} TestSuite.cub -i Binary.idt -i CustomAction.idt -i _ICESequence.idt
  COMMAND ${DRAVNETTA_MSIBUILD} TestSuite2.cub -i Binary.idt -i CustomAction.idt -i ${cub_tables}/second/_ICESequence.idt
  WORKING_DIRECTORY ${cub_folder}
  DEPENDS TestIce ${cub_tables}/Binary.idt ${cub_tables}/CustomAction.idt ${cub_tables}/_ICESequence.idt
          ${cub_tables}/second/_ICESequence.idt
  COMMENT "Building the test ICE suites"
  VERBATIM)
add_custom_target(test_cubs DEPENDS ${cub_folder}/TestSuite.cub ${cub_folder}/TestSuite2.cub)
if(TARGET test_validation)
  add_dependencies(test_validation test_cubs)
endif()
