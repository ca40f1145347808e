# Warnings are errors on our own code (never on third-party headers, which
# come in through SYSTEM include paths from find_package).
function(tessivar_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wcast-align
      -Wunused -Wdouble-promotion
      -Wformat=2 -Werror
      $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>)
  endif()
endfunction()
