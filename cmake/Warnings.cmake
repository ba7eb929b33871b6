# Warnings for every target of the project; -Werror when QUILLORA_WERROR is on (CI turns it on).
function(quillora_warnings target)
  # Designated initialisers that leave defaulted members out are the idiom here, hence the -Wno.
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
  if(QUILLORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
