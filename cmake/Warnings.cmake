# Warning flags for the project's own targets. Call velmon_warnings(target).
function(velmon_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wformat=2 -Wundef)
  if(VELMON_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
