# The core contracts and the store link no widget or GUI library: a store or a command-line tool
# can run where no display libraries are installed.   -DLIBRARIES=<shared library paths>
foreach(library IN LISTS LIBRARIES)
  execute_process(COMMAND readelf -d ${library} OUTPUT_VARIABLE dynamic RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "readelf failed on ${library}")
  endif()
  if(dynamic MATCHES "libQt6(Widgets|Gui)")
    message(FATAL_ERROR "${library} needs ${CMAKE_MATCH_0}")
  endif()
endforeach()
message(STATUS "no widgets in: ${LIBRARIES}")
