# veltrane_add_library(<target> ALIAS <Alias> SOURCES ... LINKS ... [PUBLIC_HEADERS ...])
# One shared library per layer; headers are included as "layer/dir/file.h" from src/. The library
# is installed with the runtime files, its link name and the headers listed in PUBLIC_HEADERS (those
# a host developer includes, and whatever they include) with the development files; every other
# header is the layer's own business and stays in the source tree.
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
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

  foreach(header IN LISTS ARG_PUBLIC_HEADERS)
    get_filename_component(absolute ${header} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/src ${absolute})
    get_filename_component(folder ${relative} DIRECTORY)
    install(FILES ${absolute} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/veltrane/${folder} COMPONENT dev)
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
