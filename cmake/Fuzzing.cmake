# KP_LIBFUZZER=ON (clang only, see make fuzz) builds the whole tree for libFuzzer: every target is
# instrumented for coverage and built with AddressSanitizer and UndefinedBehaviorSanitizer, and
# fuzz/ makes a libFuzzer program of each entry point (target fuzz_programs).
option(KP_LIBFUZZER "Build the fuzz entry points as libFuzzer programs (clang)" OFF)
if(KP_LIBFUZZER)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KP_LIBFUZZER needs clang (configure with CMAKE_CXX_COMPILER=clang++)")
  endif()
  if(KP_SANITIZE)
    message(FATAL_ERROR "KP_LIBFUZZER brings its own sanitizers: leave KP_SANITIZE empty")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined -fsanitize-ignorelist=${PROJECT_SOURCE_DIR}/cmake/libfuzzer-ignore.txt)
  add_link_options(-fsanitize=address,undefined)
endif()
