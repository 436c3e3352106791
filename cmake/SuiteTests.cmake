# Script mode (cmake -P), run after a test program is built: writes OUTPUT, a CTest file that
# registers one test per GoogleTest suite of PROGRAM ("Suite" runs --gtest_filter=Suite.*).
# Suites named "Threaded..." get the label "threads", the others LABELS (a ';'-free word or empty).
# A suite runs all its tests in one process: it gets 15 minutes, where one test gets ctest's default.
# With LABELS "opengl" each test keeps a process of its own ("Suite.Test"): LeakSanitizer's exit
# scan has crashed in a process that had created and destroyed several OpenGL contexts (the driver
# loaded and unloaded each time), never in one that created one.
execute_process(COMMAND ${PROGRAM} --gtest_list_tests
  WORKING_DIRECTORY ${WORKING_DIRECTORY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE listed TIMEOUT 60)
if(NOT listed EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${listed}):\n${listing}")
endif()

string(REPLACE "\n" ";" lines "${listing}")
set(script "")
foreach(line IN LISTS lines)
  # A suite line starts in the first column and ends its name with '.' (a typed suite adds a
  # comment after it); test lines are indented (a parameterised one adds a comment after it).
  if(line MATCHES "^([^ #][^ ]*)\\.")
    set(suite ${CMAKE_MATCH_1})
    set(labels "${LABELS}")
    if(suite MATCHES "^([^/]*/)?Threaded")
      set(labels threads)
    endif()
    if(LABELS STREQUAL "opengl")
      continue()
    endif()
    set(name ${suite})
    set(filter ${suite}.*)
  elseif(LABELS STREQUAL "opengl" AND DEFINED suite AND line MATCHES "^  ([^ #]+)")
    set(name ${suite}.${CMAKE_MATCH_1})
    set(filter ${name})
  else()
    continue()
  endif()
  string(APPEND script
    "add_test([=[${name}]=] [=[${PROGRAM}]=] [=[--gtest_filter=${filter}]=])\n"
    "set_tests_properties([=[${name}]=] PROPERTIES WORKING_DIRECTORY [=[${WORKING_DIRECTORY}]=]"
    " LABELS [=[${labels}]=] TIMEOUT 900)\n")
endforeach()
file(WRITE ${OUTPUT} "${script}")
