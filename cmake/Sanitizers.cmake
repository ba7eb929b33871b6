# QUILLORA_SANITIZE=address builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# QUILLORA_SANITIZE=thread with ThreadSanitizer. Applied globally so that every library agrees.
if(QUILLORA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  # GCC's flow analysis misreads the instrumented code (std::regex, std::function moves) and reports
  # values as maybe uninitialised; the plain build keeps that warning, the sanitizer checks at run time.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  add_link_options(-fsanitize=address,undefined)
elseif(QUILLORA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(QUILLORA_SANITIZE)
  message(FATAL_ERROR "QUILLORA_SANITIZE must be empty, 'address' or 'thread'")
endif()
