# Our own code builds without warnings; ORVO_WERROR makes that binding (CI turns it on).
function(orvo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
  if(ORVO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
