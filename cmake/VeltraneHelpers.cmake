# veltrane_add_library(<target> ALIAS <Alias> SOURCES ... LINKS ... [PUBLIC_HEADERS ...])
# One shared library per layer; headers are included as "layer/dir/file.h" from src/. The headers a
# host developer may include are installed beside the library: those listed in PUBLIC_HEADERS, or,
# without that list, every header among the sources.
function(veltrane_add_library target)
  cmake_parse_arguments(ARG "" "ALIAS" "SOURCES;LINKS;PUBLIC_HEADERS" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/veltrane>)
  target_link_libraries(${target} PUBLIC ${ARG_LINKS})
  set_target_properties(${target} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  if(ARG_ALIAS)
    add_library(Veltrane::${ARG_ALIAS} ALIAS ${target})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${ARG_ALIAS})
  endif()
  install(TARGETS ${target} EXPORT VeltraneTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  set(headers ${ARG_PUBLIC_HEADERS})
  if(NOT headers)
    foreach(source IN LISTS ARG_SOURCES)
      if(source MATCHES "\\.h$")
        list(APPEND headers ${source})
      endif()
    endforeach()
  endif()
  foreach(header IN LISTS headers)
    get_filename_component(absolute ${header} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/src ${absolute})
    get_filename_component(folder ${relative} DIRECTORY)
    install(FILES ${absolute} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/veltrane/${folder})
  endforeach()
endfunction()

# veltrane_add_test(<name> SOURCES ... LINKS ... [LABELS ...])
# Every autotest is a Qt Test executable registered with CTest; widgets render offscreen.
function(veltrane_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test veltrane_test_support ${ARG_LINKS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=veltrane.*.debug=false"
    TIMEOUT 300)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
