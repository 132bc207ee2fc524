# Packages msitools' msibuild writes (tools/testpackages), which the model tests open.
find_program(DRAVNETTA_MSIBUILD msibuild)
if(NOT DRAVNETTA_MSIBUILD)
  message(WARNING "msibuild (msitools) is missing: the tests of packages other writers make skip")
  return()
endif()
set(package_folder ${CMAKE_BINARY_DIR}/testpackages)
set(package_script ${CMAKE_SOURCE_DIR}/tools/testpackages/make-packages.sh)
add_custom_command(OUTPUT ${package_folder}/strings-and-columns.msi ${package_folder}/streams.msi
  COMMAND bash ${package_script} ${DRAVNETTA_MSIBUILD} ${package_folder}
  DEPENDS ${package_script}
  COMMENT "Building packages with msitools"
  VERBATIM)
add_custom_target(test_packages DEPENDS ${package_folder}/strings-and-columns.msi ${package_folder}/streams.msi)
if(TARGET test_model)
  add_dependencies(test_model test_packages)
endif()
