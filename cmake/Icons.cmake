# The tree images are drawn at build time (tools/make-icons.sh) into generated/icons, where the
# resource script finds them through the generated include folder.
set(DRAVNETTA_ICON_DIR ${CMAKE_BINARY_DIR}/generated/icons)
set(DRAVNETTA_ICONS)
foreach(id RANGE 1000 1037)
  list(APPEND DRAVNETTA_ICONS ${DRAVNETTA_ICON_DIR}/tree${id}.ico)
endforeach()
add_custom_command(OUTPUT ${DRAVNETTA_ICONS}
  COMMAND bash ${CMAKE_SOURCE_DIR}/tools/make-icons.sh ${DRAVNETTA_ICON_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make-icons.sh
  COMMENT "Drawing the tree images"
  VERBATIM)
add_custom_target(tree_icons DEPENDS ${DRAVNETTA_ICONS})
add_dependencies(resources tree_icons)
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/Dravnetta.rc PROPERTIES OBJECT_DEPENDS "${DRAVNETTA_ICONS}")
