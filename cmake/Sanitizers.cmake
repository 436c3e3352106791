# KP_SANITIZE=address builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# KP_SANITIZE=thread with ThreadSanitizer. Applied to every target of the tree.
if(KP_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(KP_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(KP_SANITIZE)
  message(FATAL_ERROR "KP_SANITIZE must be address or thread, not '${KP_SANITIZE}'")
endif()
