# Only Boost's headers: a folder holding just a `boost` link, so the cross compiler never sees /usr/include.
set(DRAVNETTA_BOOST_ROOT /usr/include/boost CACHE PATH "Boost header folder (Debian's libboost-dev)")
if(NOT EXISTS ${DRAVNETTA_BOOST_ROOT}/version.hpp)
  message(FATAL_ERROR "Boost headers not found at ${DRAVNETTA_BOOST_ROOT}: install libboost1.81-dev")
endif()
set(DRAVNETTA_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost-include)
file(MAKE_DIRECTORY ${DRAVNETTA_BOOST_INCLUDE})
file(CREATE_LINK ${DRAVNETTA_BOOST_ROOT} ${DRAVNETTA_BOOST_INCLUDE}/boost SYMBOLIC)
