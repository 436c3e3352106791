# Every target of the project builds without a warning at -Wall -Wextra.
add_library(kp_warnings INTERFACE)
target_compile_options(kp_warnings INTERFACE -Wall -Wextra)
if(KP_WERROR)
  target_compile_options(kp_warnings INTERFACE -Werror)
endif()
