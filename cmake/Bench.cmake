# Benchmarks print their own figures; nothing asserts on time.
file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(src ${bench_sources})
  get_filename_component(name ${src} NAME_WE)
  # The window benchmarks make the program's own frame, which loads its dialogs and menus.
  add_executable(bench_${name} ${src} $<TARGET_OBJECTS:resources>)
  target_link_libraries(bench_${name} PRIVATE shell)
  target_link_options(bench_${name} PRIVATE -static)
endforeach()
