# vialto.dll: the export table, the import library and the resources. Included for WIN32 targets
# after the vialto target is defined.
#
# src/frame/vialto.def is the 32-bit table. 64-bit Windows has one calling convention and no name
# decoration, so its table is the same one with plain names and that platform's mangled members,
# made from the 32-bit file here (one home for the names and ordinals).
set(VIALTO_DEF_FILE ${PROJECT_SOURCE_DIR}/src/frame/vialto.def)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VIALTO_DEF_FILE})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  file(READ ${VIALTO_DEF_FILE} def_text)
  string(REGEX REPLACE "_([A-Za-z0-9_]+)@[0-9]+=([A-Za-z0-9_]+)@[0-9]+" "\\1=\\2" def_text
         "${def_text}")
  string(REPLACE "??0CVialto@@QAE@XZ" "??0CVialto@@QEAA@XZ" def_text "${def_text}")
  string(REPLACE "??4CVialto@@QAEAAV0@ABV0@@Z" "??4CVialto@@QEAAAEAV0@AEBV0@@Z" def_text
         "${def_text}")
  set(VIALTO_LINK_DEF ${PROJECT_BINARY_DIR}/vialto64.def)
  set(old_text "")
  if(EXISTS ${VIALTO_LINK_DEF})
    file(READ ${VIALTO_LINK_DEF} old_text)
  endif()
  if(NOT old_text STREQUAL def_text)
    file(WRITE ${VIALTO_LINK_DEF} "${def_text}")
  endif()
else()
  set(VIALTO_LINK_DEF ${VIALTO_DEF_FILE})
endif()

# Only the .def's names are exported. Without stdcall fix-up a .def name whose convention or
# argument bytes differ from the function's finds no symbol, and the link fails.
target_sources(vialto PRIVATE ${VIALTO_LINK_DEF})
target_link_options(vialto PRIVATE "LINKER:--disable-stdcall-fixup")
# vialto.dll, with its import library vialto.dll.a for mingw hosts (-lvialto).
set_target_properties(vialto PROPERTIES PREFIX "" IMPORT_PREFIX "" LINK_DEPENDS ${VIALTO_LINK_DEF})

# The import library for hosts. ld's own would ask for __imp___Name@N (its names start with the
# underscore that hosts' compilers add themselves), so it is replaced by one from dlltool, where
# a host's reference to Name@N (32-bit) or Name (64-bit) imports the DLL's exported name, and
# nVialto imports ?nVialto@@3HA. The CVialto members are left out: only the platform's own
# compiler calls them as they are, with an import library of its own (see the README).
file(STRINGS ${VIALTO_LINK_DEF} def_lines)
set(host_def "LIBRARY vialto.dll\nEXPORTS\n")
foreach(line IN LISTS def_lines)
  if(line MATCHES "^ *_([A-Za-z0-9_]+@[0-9]+)=[A-Za-z0-9_@]+ +(@[0-9]+)")
    string(APPEND host_def "  ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ==_${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^ *([A-Za-z][A-Za-z0-9_]*)(=[A-Za-z0-9_]+)? +(@[0-9]+)$")
    string(APPEND host_def "  ${CMAKE_MATCH_1} ${CMAKE_MATCH_3}\n")
  elseif(line MATCHES "^ *(\\?nVialto@@3HA)=nVialto +(@[0-9]+) DATA")
    string(APPEND host_def "  nVialto ${CMAKE_MATCH_2} DATA ==${CMAKE_MATCH_1}\n")
  endif()
endforeach()
set(VIALTO_HOST_DEF ${PROJECT_BINARY_DIR}/vialto-hosts.def)
file(WRITE ${VIALTO_HOST_DEF}.new "${host_def}")
file(COPY_FILE ${VIALTO_HOST_DEF}.new ${VIALTO_HOST_DEF} ONLY_IF_DIFFERENT)
add_custom_command(TARGET vialto POST_BUILD
  COMMAND ${CMAKE_DLLTOOL} -d ${VIALTO_HOST_DEF} -D vialto.dll -l $<TARGET_LINKER_FILE:vialto>
  COMMENT "Import library for hosts" VERBATIM)

# Resource scripts of the backend (bitmap 106, dialog 11217), compiled by windres into the DLL;
# the tests link the same resources into their own program.
file(GLOB VIALTO_RESOURCE_SCRIPTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/win32/*.rc
     ${PROJECT_SOURCE_DIR}/res/*.rc)
if(VIALTO_RESOURCE_SCRIPTS)
  enable_language(RC)
  set_property(SOURCE ${VIALTO_RESOURCE_SCRIPTS} APPEND PROPERTY INCLUDE_DIRECTORIES
               ${PROJECT_SOURCE_DIR}/res ${PROJECT_SOURCE_DIR})
  target_sources(vialto PRIVATE ${VIALTO_RESOURCE_SCRIPTS})
endif()

install(FILES ${VIALTO_LINK_DEF} DESTINATION ${CMAKE_INSTALL_LIBDIR} RENAME vialto.def)
