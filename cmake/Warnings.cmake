# Warnings for every target of the project; -Werror when QUILLORA_WERROR is on (CI turns it on).
function(quillora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(QUILLORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
