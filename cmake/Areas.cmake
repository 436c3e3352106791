# An area is one folder of sources built as one library. Sources are found by glob (re-checked at
# every build), so adding a file to an area needs no change here.
#
#   kp_add_area(NAME <target> DIR <folder> [OBJECT] [DEPS <targets...>] [RECURSE])
#
# OBJECT areas hold self-registering code: their objects are linked whole, so the linker cannot
# drop a static registration that nothing else refers to.
function(kp_add_area)
  cmake_parse_arguments(AREA "OBJECT;RECURSE" "NAME;DIR" "DEPS;EXCLUDE" ${ARGN})
  if(AREA_RECURSE)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${AREA_DIR}/*.cpp ${AREA_DIR}/*.c)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${AREA_DIR}/*.cpp ${AREA_DIR}/*.c)
  endif()
  foreach(excluded ${AREA_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "${excluded}")
  endforeach()
  if(NOT sources)
    add_library(${AREA_NAME} INTERFACE)
  elseif(AREA_OBJECT)
    add_library(${AREA_NAME} OBJECT ${sources})
  else()
    add_library(${AREA_NAME} STATIC ${sources})
  endif()
  get_target_property(kind ${AREA_NAME} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${AREA_NAME} INTERFACE ${PROJECT_SOURCE_DIR}/SDK/include ${PROJECT_SOURCE_DIR}/SDK/source/SoundEngine ${PROJECT_SOURCE_DIR}/Source)
    target_link_libraries(${AREA_NAME} INTERFACE ${AREA_DEPS})
  else()
    target_include_directories(${AREA_NAME} PUBLIC ${PROJECT_SOURCE_DIR}/SDK/include ${PROJECT_SOURCE_DIR}/SDK/source/SoundEngine ${PROJECT_SOURCE_DIR}/Source)
    target_link_libraries(${AREA_NAME} PUBLIC ${AREA_DEPS} PRIVATE kp_warnings)
  endif()
endfunction()
