# The template databases and the packages that install them and publish them as qualified components,
# made at build time with msitools' msibuild from text sources (tools/templates, the schema sources).
find_program(DRAVNETTA_MSIBUILD msibuild)
if(NOT DRAVNETTA_MSIBUILD)
  message(WARNING "msibuild (msitools) is missing: no template databases are built")
  return()
endif()

set(template_sources ${CMAKE_BINARY_DIR}/generated/templates)
file(GLOB template_descriptions CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/templates/*.template)
file(GLOB schema_table_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/schema/tables/*.tsv)
set(template_files)
foreach(description ${template_descriptions})
  get_filename_component(name ${description} NAME_WLE)
  add_custom_command(OUTPUT ${template_sources}/${name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${template_sources}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tools/templates/make-template.sh ${description}
            ${CMAKE_SOURCE_DIR}/tools/schema/tables ${template_sources}/${name}
    DEPENDS ${description} ${CMAKE_SOURCE_DIR}/tools/templates/make-template.sh ${schema_table_sources}
    COMMENT "Building the template ${name}"
    VERBATIM)
  list(APPEND template_files ${template_sources}/${name})
endforeach()

# dravnetta_publisher(output description): a package beside whose files the templates are laid.
function(dravnetta_publisher output description)
  add_custom_command(OUTPUT ${output}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tools/templates/make-publisher.sh ${description} ${template_sources} ${output}
    DEPENDS ${description} ${CMAKE_SOURCE_DIR}/tools/templates/make-publisher.sh ${template_files}
    COMMENT "Building the package ${output}"
    VERBATIM)
endfunction()

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/templates ${CMAKE_BINARY_DIR}/templates-test)
set(DRAVNETTA_TEMPLATES_PACKAGE ${CMAKE_BINARY_DIR}/templates/DravnettaTemplates.msi)
dravnetta_publisher(${DRAVNETTA_TEMPLATES_PACKAGE} ${CMAKE_SOURCE_DIR}/tools/templates/Templates.publish)
set(template_outputs ${DRAVNETTA_TEMPLATES_PACKAGE})
if(DRAVNETTA_TESTS)
  set(test_package ${CMAKE_BINARY_DIR}/templates-test/TemplateTestEntries.msi)
  dravnetta_publisher(${test_package} ${CMAKE_SOURCE_DIR}/tests/shell/TemplateTestEntries.publish)
  list(APPEND template_outputs ${test_package})
endif()
add_custom_target(template_databases ALL DEPENDS ${template_outputs})
