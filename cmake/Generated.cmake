# Data files made at build time from text sources in the repository.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)

# schema.dat: built from tools/schema/tables by SchemaGen through the installer library (under Wine here).
# A build that cannot run its own programs (i686) takes the file from an x86_64 build instead.
set(DRAVNETTA_HOST_BUILD "" CACHE PATH "x86_64 build folder whose generated files a build that cannot run tools takes")
set(DRAVNETTA_SCHEMA_DAT ${CMAKE_BINARY_DIR}/generated/schema.dat)
file(GLOB schema_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/schema/tables/*.tsv)

if(DRAVNETTA_HOST_BUILD)
  set(host_schema ${DRAVNETTA_HOST_BUILD}/generated/schema.dat)
  if(NOT EXISTS ${host_schema})
    message(FATAL_ERROR "${host_schema} is missing: build ${DRAVNETTA_HOST_BUILD} first")
  endif()
  add_custom_command(OUTPUT ${DRAVNETTA_SCHEMA_DAT}
    COMMAND ${CMAKE_COMMAND} -E copy ${host_schema} ${DRAVNETTA_SCHEMA_DAT}
    DEPENDS ${host_schema}
    COMMENT "Taking schema.dat from ${DRAVNETTA_HOST_BUILD}"
    VERBATIM)
elseif(CMAKE_CROSSCOMPILING_EMULATOR OR NOT CMAKE_CROSSCOMPILING)
  add_executable(SchemaGen ${CMAKE_SOURCE_DIR}/tools/schema/SchemaGen.cpp)
  target_link_libraries(SchemaGen PRIVATE msi)
  target_link_options(SchemaGen PRIVATE -static -municode)
  # The tool sees Windows paths; Wine maps the Unix root to drive Z:.
  string(REPLACE "/" "\\" tables_win "Z:${CMAKE_SOURCE_DIR}/tools/schema/tables")
  string(REPLACE "/" "\\" schema_win "Z:${DRAVNETTA_SCHEMA_DAT}")
  add_custom_command(OUTPUT ${DRAVNETTA_SCHEMA_DAT}
    COMMAND SchemaGen ${tables_win} ${schema_win}
    DEPENDS SchemaGen ${schema_sources}
    COMMENT "Generating schema.dat"
    VERBATIM)
else()
  message(WARNING "This build cannot run SchemaGen: pass -DDRAVNETTA_HOST_BUILD=<x86_64 build> for a real schema.dat")
  add_custom_command(OUTPUT ${DRAVNETTA_SCHEMA_DAT}
    COMMAND ${CMAKE_COMMAND} -E touch ${DRAVNETTA_SCHEMA_DAT}
    VERBATIM)
endif()

# Beside the program and the test programs, which all land in the build folder and look for it there.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/schema.dat
  COMMAND ${CMAKE_COMMAND} -E copy ${DRAVNETTA_SCHEMA_DAT} ${CMAKE_BINARY_DIR}/schema.dat
  DEPENDS ${DRAVNETTA_SCHEMA_DAT}
  VERBATIM)
add_custom_target(schema_dat ALL DEPENDS ${CMAKE_BINARY_DIR}/schema.dat)
add_dependencies(model schema_dat)
add_dependencies(Dravnetta schema_dat)
