# Builds and runs the host project in tests/consumer against Veltrane found with find_package: first
# straight from the build tree, then from a fresh install prefix.
#   -DBUILD_DIR=<Veltrane build tree> -DSOURCE_DIR=<tests/consumer> -DWORK_DIR=<scratch folder>
#   [-DCONSUMER_FLAGS=<compiler and linker flags the consumer needs, such as the sanitizers>]
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${result}):\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

function(build_consumer name veltrane_dir)
  set(dir ${WORK_DIR}/${name})
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${dir} -G Ninja -DCMAKE_BUILD_TYPE=Release -DVeltrane_DIR=${veltrane_dir}
      "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_FLAGS}")
  run(${CMAKE_COMMAND} --build ${dir})
  run(${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${dir}/consumer)
  message(STATUS "${name}: ${last_output}")
endfunction()

build_consumer(from-build-tree ${BUILD_DIR})

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
file(GLOB_RECURSE configs ${WORK_DIR}/prefix/*/VeltraneConfig.cmake)
list(GET configs 0 config)
get_filename_component(config_dir ${config} DIRECTORY)
# Internal headers of the store stay out of the install.
foreach(private store_io.h connection.h schema.h seed_data.h)
  if(EXISTS ${WORK_DIR}/prefix/include/veltrane/host/objects/${private})
    message(FATAL_ERROR "the internal header host/objects/${private} was installed")
  endif()
endforeach()
build_consumer(from-install ${config_dir})
