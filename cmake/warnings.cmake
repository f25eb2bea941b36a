# setup_warnings(target): the project's warning level, errors included, for its own targets only.
function(setup_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
