# velmon_message_table(TARGET <target> MC <file.mc> MODULE <module file name>
#                      [HEADER <name.h>] [CUSTOMER_BIT])
#
# Compiles a .mc message catalogue with mcgen (platform/tools) into
#   - a header of message identifiers, <HEADER> (default: the .mc file's name
#     with .h), whose directory is added to TARGET's include path (PUBLIC, so
#     targets linking TARGET see it too), and
#   - a C++ message table added to TARGET's sources, which registers itself
#     with the platform under MODULE (e.g. velmon.dll, the name the event
#     source's "EventMessageFile" names) when TARGET is loaded.
# CUSTOMER_BIT sets the customer bit in every identifier.
#
# Call it from the directory that defines TARGET; TARGET must link
# velplatform (directly or through another target) for the registration.
function(velmon_message_table)
  cmake_parse_arguments(ARG "CUSTOMER_BIT" "TARGET;MC;MODULE;HEADER" "" ${ARGN})
  if(NOT ARG_TARGET OR NOT ARG_MC OR NOT ARG_MODULE)
    message(FATAL_ERROR "velmon_message_table: TARGET, MC and MODULE are required")
  endif()
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "velmon_message_table: unexpected arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT TARGET mcgen)
    message(FATAL_ERROR "velmon_message_table: the mcgen tool is not defined yet (add platform/ first)")
  endif()

  get_filename_component(mc_file "${ARG_MC}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(mc_name "${mc_file}" NAME_WE)
  if(NOT ARG_HEADER)
    set(ARG_HEADER "${mc_name}.h")
  endif()
  set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/${ARG_TARGET}_messages")
  set(header "${out_dir}/${ARG_HEADER}")
  set(source "${out_dir}/${mc_name}_message_table.cpp")
  set(customer "")
  if(ARG_CUSTOMER_BIT)
    set(customer "--customer")
  endif()

  file(MAKE_DIRECTORY "${out_dir}")
  add_custom_command(
    OUTPUT "${header}" "${source}"
    COMMAND mcgen ${customer} --module "${ARG_MODULE}" --header "${header}" --source "${source}" "${mc_file}"
    DEPENDS mcgen "${mc_file}"
    COMMENT "Compiling message catalogue ${mc_name}.mc for ${ARG_MODULE}"
    VERBATIM)
  target_sources(${ARG_TARGET} PRIVATE "${source}" "${header}")
  target_include_directories(${ARG_TARGET} PUBLIC "${out_dir}")
  # The table includes velplat/message_table.h.
  set_property(SOURCE "${source}" APPEND PROPERTY INCLUDE_DIRECTORIES
               "$<TARGET_PROPERTY:velplatform,INTERFACE_INCLUDE_DIRECTORIES>")
endfunction()
