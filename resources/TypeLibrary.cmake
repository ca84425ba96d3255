# Included from the root list (generated sources must be known where the target is defined).
# Type library, registration exports and version block of Tarnwick.dll.
#
# The interface description is kept in UTF-8; type-library strings are read
# in the system code page, so the help strings are converted to GBK (code
# page 936, the target systems' code page) before the library is generated.
enable_language(C RC)

set(generated ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${generated})
find_program(ICONV iconv REQUIRED)
set(widl_flags -I/usr/include/wine/wine/windows -L/usr/lib/x86_64-linux-gnu/wine/x86_64-windows)

add_custom_command(
  OUTPUT ${generated}/Tarnwick.tlb ${generated}/Tarnwick_h.h ${generated}/Tarnwick_i.c
  COMMAND ${ICONV} -f UTF-8 -t GBK ${CMAKE_SOURCE_DIR}/resources/Tarnwick.idl -o ${generated}/Tarnwick_gbk.idl
  COMMAND ${TARNWICK_WIDL} ${widl_flags} -t -T Tarnwick.tlb -h -H Tarnwick_h.h -u -U Tarnwick_i.c Tarnwick_gbk.idl
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/Tarnwick.idl
  WORKING_DIRECTORY ${generated}
  COMMENT "Generating the TARNWICKLib type library")
add_custom_target(tarnwick_typelib DEPENDS ${generated}/Tarnwick.tlb ${generated}/Tarnwick_h.h)
add_dependencies(tarnwick_com tarnwick_typelib)

set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/Tarnwick.rc PROPERTIES OBJECT_DEPENDS ${generated}/Tarnwick.tlb)
target_sources(tarnwick_com PRIVATE ${generated}/Tarnwick_i.c)
target_sources(Tarnwick PRIVATE ${CMAKE_SOURCE_DIR}/resources/Tarnwick.rc)
target_link_options(Tarnwick PRIVATE ${CMAKE_SOURCE_DIR}/resources/Tarnwick.def)
set_property(TARGET Tarnwick APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/resources/Tarnwick.def)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${generated}")
