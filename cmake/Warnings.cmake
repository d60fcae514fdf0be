# Warnings high everywhere; errors in CI (TAVELIN_WERROR, on by default).
function(tavelin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wcast-align -Wunused -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
  if(TAVELIN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
