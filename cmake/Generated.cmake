# Data files made at build time from text sources in the repository.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)
if(NOT EXISTS ${CMAKE_BINARY_DIR}/generated/schema.dat)
  file(WRITE ${CMAKE_BINARY_DIR}/generated/schema.dat "")
endif()
