# Warnings for the project's own targets; GLYPHAR_WERROR turns them into errors.

function(glyphar_target_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
      $<$<BOOL:${GLYPHAR_WERROR}>:-Werror>)
  elseif(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${GLYPHAR_WERROR}>:/WX>)
  endif()
endfunction()
