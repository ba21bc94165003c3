# Registers the two component libraries in a registry under WORK_DIR (and nowhere else), then runs a
# host that links neither: the C program (MODE c) or the Python example of DOC (MODE python), on a
# new store, offscreen.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(env XDG_DATA_HOME=${WORK_DIR}/user XDG_DATA_DIRS=${WORK_DIR}/system QT_QPA_PLATFORM=offscreen
        VELTRANE_REGISTRY_SCOPE=user QT_LOGGING_RULES=veltrane.*.debug=false)

function(run)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${env} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err TIMEOUT 240)
  message("${out}${err}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} ended with ${status}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

foreach(library ${LIBRARY} ${HOST_LIBRARY})
  run(${REGISTER} ${library})
endforeach()

if(MODE STREQUAL "c")
  run(${C_HOST} ${WORK_DIR}/store.sqlite)
  set(expected "made \"Made in C\"")
else()
  # The example is the one fenced ```python block of the document, run as it stands.
  file(READ ${DOC} text)
  string(REGEX MATCH "```python\n(.*)\n```" block "${text}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "${DOC} has no ```python block")
  endif()
  string(REGEX REPLACE "\n```.*" "" example "${CMAKE_MATCH_1}")
  file(WRITE ${WORK_DIR}/example.py "${example}\n")
  if(PRELOAD)
    list(APPEND env LD_PRELOAD=${PRELOAD} ASAN_OPTIONS=detect_leaks=0)
  endif()
  run(${PYTHON} ${WORK_DIR}/example.py ${WORK_DIR}/store.sqlite)
  set(expected "A new parameter set: ID 0")
endif()
string(FIND "${output}" "${expected}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "The host did not write \"${expected}\"")
endif()
