# Warnings are on everywhere; KOVRAN_WERROR (set by CI) turns them into errors.
option(KOVRAN_WERROR "Treat compiler warnings as errors" OFF)
set(KOVRAN_WARNINGS -Wall -Wextra)
if(KOVRAN_WERROR)
  list(APPEND KOVRAN_WARNINGS -Werror)
endif()

function(kovran_warnings target)
  target_compile_options(${target} PRIVATE ${KOVRAN_WARNINGS})
endfunction()
