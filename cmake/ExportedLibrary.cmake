# velmon_exported_library(<name> OBJECTS <object library> MAP <file.map>
#                         DEF <file.def> RC <file.rc>)
#
# The shared library <name> made of one object library, exporting exactly
# the names its export list gives: on Linux lib<name>.so with the version
# script MAP; on Windows <name>.dll with the module definition DEF (names
# undecorated also on i686) and the resources of RC, which sees the
# project's version as VELMON_VERSION_MAJOR/MINOR/PATCH.
function(velmon_exported_library name)
  cmake_parse_arguments(ARG "" "OBJECTS;MAP;DEF;RC" "" ${ARGN})
  if(WIN32)
    add_library(${name} SHARED ${ARG_DEF} ${ARG_RC})
    target_link_libraries(${name} PRIVATE ${ARG_OBJECTS})
    set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
    set_source_files_properties(${ARG_RC} PROPERTIES COMPILE_DEFINITIONS
      "VELMON_VERSION_MAJOR=${PROJECT_VERSION_MAJOR};VELMON_VERSION_MINOR=${PROJECT_VERSION_MINOR};VELMON_VERSION_PATCH=${PROJECT_VERSION_PATCH}")
    target_link_options(${name} PRIVATE -Wl,--enable-stdcall-fixup -Wl,--no-undefined)
  else()
    add_library(${name} SHARED)
    target_link_libraries(${name} PRIVATE ${ARG_OBJECTS})
    target_link_options(${name} PRIVATE -Wl,--version-script=${ARG_MAP} -Wl,--no-undefined)
    set_target_properties(${name} PROPERTIES LINK_DEPENDS ${ARG_MAP})
  endif()
endfunction()
