# Warnings are errors on our own code (never on third-party headers, which
# come in through SYSTEM include paths from find_package).
function(tessivar_warnings target)
  if(MSVC)
    # Standard conformance as GCC and Clang hold us to it; the CRT's advice to
    # use its _s variants and underscored POSIX names is not taken (the code
    # stays portable).
    target_compile_options(${target} PRIVATE /W4 /WX /utf-8
      $<$<COMPILE_LANGUAGE:CXX>:/permissive- /Zc:__cplusplus>)
    target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS _CRT_NONSTDC_NO_WARNINGS)
  else()
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wcast-align
      -Wunused -Wdouble-promotion
      -Wformat=2 -Werror
      $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>)
  endif()
endfunction()
