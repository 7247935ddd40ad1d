# Configures the stand-in for the launcher's libraries (core_check_fixture) as
# it is, which must pass, and with a core library reaching Qt Widgets, which
# must fail naming the library and the way it gets there.
#   cmake -DKD_SOURCE_DIR=... -DKD_WORK_DIR=... -P core_check_test.cmake
set(fixture ${KD_SOURCE_DIR}/tests/cmake/core_check_fixture)
file(REMOVE_RECURSE ${KD_WORK_DIR})

function(configure name out_result out_output)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${fixture} -B ${KD_WORK_DIR}/${name}
      -DKD_SOURCE_DIR=${KD_SOURCE_DIR} ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  # CMake wraps long messages.
  string(REGEX REPLACE "[ \n]+" " " output "${output}")
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

configure(clean result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "A core without widgets was refused: ${output}")
endif()

configure(widgets result output -DKD_REACH_WIDGETS=ON)
set(expected "The core library kdcatalogue links Qt Widgets: kdcatalogue -> kdlog -> kdview -> Qt6::Widgets")
string(FIND "${output}" "${expected}" at)
if(result EQUAL 0 OR at EQUAL -1)
  message(FATAL_ERROR "Expected configuring to fail with \"${expected}\"; got: ${output}")
endif()
