# Helpers of the Windows (mingw-w64) build.
#
# velmon_windows_sources(<out-var> <files...>): drops the platform
# counterparts that do not belong to this build. A file <name>_windows.cpp is
# the Windows form of <name>.cpp next to it: on Windows <name>.cpp is dropped,
# elsewhere <name>_windows.cpp is.
#
# velmon_windmc(TARGET <target> MC <file.mc>): compiles the message catalogue
# with windmc into a header of message identifiers (its directory on TARGET's
# public include path) and a message-table resource (UTF-16 texts) added to
# TARGET's sources.
#
# velmon_import_library(TARGET <target> DEF <file.def> NAME <lib name>):
# builds an import library from a .def file with dlltool (stdcall decoration
# on the symbols, undecorated import names) and links it into TARGET.

function(velmon_windows_sources out)
  set(kept "")
  foreach(file ${ARGN})
    if(file MATCHES "_windows\\.cpp$")
      if(WIN32)
        list(APPEND kept "${file}")
      endif()
      continue()
    endif()
    string(REGEX REPLACE "\\.cpp$" "_windows.cpp" counterpart "${file}")
    if(WIN32 AND EXISTS "${counterpart}")
      continue()
    endif()
    list(APPEND kept "${file}")
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()

function(velmon_windmc)
  cmake_parse_arguments(ARG "" "TARGET;MC" "" ${ARGN})
  get_filename_component(mc_file "${ARG_MC}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(mc_name "${mc_file}" NAME_WE)
  set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/${ARG_TARGET}_messages")
  file(MAKE_DIRECTORY "${out_dir}")
  add_custom_command(
    OUTPUT "${out_dir}/${mc_name}.h" "${out_dir}/${mc_name}.rc"
    COMMAND ${VELMON_WINDMC} -U -h "${out_dir}" -r "${out_dir}" "${mc_file}"
    DEPENDS "${mc_file}"
    COMMENT "Compiling message catalogue ${mc_name}.mc with windmc"
    VERBATIM)
  target_sources(${ARG_TARGET} PRIVATE "${out_dir}/${mc_name}.h" "${out_dir}/${mc_name}.rc")
  target_include_directories(${ARG_TARGET} PUBLIC "${out_dir}")
endfunction()

function(velmon_import_library)
  cmake_parse_arguments(ARG "" "TARGET;DEF;NAME" "" ${ARGN})
  get_filename_component(def_file "${ARG_DEF}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  set(lib "${CMAKE_CURRENT_BINARY_DIR}/lib${ARG_NAME}.a")
  add_custom_command(
    OUTPUT "${lib}"
    COMMAND ${VELMON_DLLTOOL} --kill-at -d "${def_file}" -l "${lib}"
    DEPENDS "${def_file}"
    COMMENT "Import library ${ARG_NAME} from ${ARG_DEF}"
    VERBATIM)
  add_custom_target(${ARG_NAME}_import DEPENDS "${lib}")
  add_dependencies(${ARG_TARGET} ${ARG_NAME}_import)
  target_link_libraries(${ARG_TARGET} PRIVATE "${lib}")
endfunction()
