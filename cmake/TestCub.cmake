# The ICE suites the validation tests run: a custom-action DLL from tools/testcub and .cub files made
# from its .idt tables by msitools' msibuild; the x86_64 build makes them, and the same suite with the
# DLL built for 32 bits (TestSuite32.cub), which the installer runs in its 32-bit server.
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

# The same DLL for 32 bits, built by the i686 compiler beside this build's.
set(cub32_folder ${CMAKE_BINARY_DIR}/testcub32)
file(MAKE_DIRECTORY ${cub32_folder}/Binary)
string(REPLACE "x86_64-w64-mingw32" "i686-w64-mingw32" DRAVNETTA_CXX32 ${CMAKE_CXX_COMPILER})
add_custom_command(OUTPUT ${cub_folder}/TestSuite32.cub
  COMMAND ${DRAVNETTA_CXX32} -std=c++17 -O2 -shared -static -DUNICODE -D_UNICODE -Wl,--kill-at
          -o ${cub32_folder}/Binary/TestIce.dll ${CMAKE_SOURCE_DIR}/tools/testcub/TestIce.cpp -lmsi
  COMMAND ${CMAKE_COMMAND} -E copy ${cub_tables}/Binary.idt ${cub_tables}/CustomAction.idt ${cub_tables}/_ICESequence.idt ${cub32_folder}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${cub32_folder}/TestSuite32.cub
  COMMAND ${DRAVNETTA_MSIBUILD} TestSuite32.cub -i Binary.idt -i CustomAction.idt -i _ICESequence.idt
  COMMAND ${CMAKE_COMMAND} -E copy TestSuite32.cub ${cub_folder}/TestSuite32.cub
  WORKING_DIRECTORY ${cub32_folder}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/testcub/TestIce.cpp ${cub_tables}/Binary.idt ${cub_tables}/CustomAction.idt
          ${cub_tables}/_ICESequence.idt
  COMMENT "Building the 32-bit test ICE suite"
  VERBATIM)
add_custom_target(test_cubs DEPENDS ${cub_folder}/TestSuite.cub ${cub_folder}/TestSuite2.cub
                                    ${cub_folder}/TestSuite32.cub)
if(TARGET test_validation)
  add_dependencies(test_validation test_cubs)
endif()
