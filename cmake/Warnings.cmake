# Project code is built with these warnings; kel_warnings() applies them to a target.
function(kel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
