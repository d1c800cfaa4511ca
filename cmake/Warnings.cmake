# Every target of ours builds with the same strict warnings, as errors.
function(recmon_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wconversion
    -Wold-style-cast -Wcast-align -Woverloaded-virtual -Werror)
endfunction()
