# Warning flags for the project's own targets.
function(kobu_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wformat=2
                         -Wnon-virtual-dtor -Wold-style-cast -Wundef)
  if(KOBU_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
