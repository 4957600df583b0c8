# Run at build time (cmake -P) by the web_module target: fetches the C sources once (see
# fetch_sources.cmake), then configures and builds the WebAssembly module as a project of its
# own (module/), since it is compiled for another machine than the rest of the build. Without the
# sources the build goes on without the module; a module that fails to compile fails the build.
# Variables: WEB_SOURCE, TUNDRA_SOURCE, WORK_DIR, OUT_DIR, CLANG, CLANGXX, STB_DIR, JOBS.
set(SOURCE_DIR ${WORK_DIR}/sources)
set(FAILED ${SOURCE_DIR}/fetch-failed)
if(NOT EXISTS ${SOURCE_DIR}/fetched.cmake)
  if(EXISTS ${FAILED})
    message(STATUS "web: the sources could not be fetched before; delete ${FAILED} to try again")
    return()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR}
                          -P ${WEB_SOURCE}/fetch_sources.cmake)
  if(NOT EXISTS ${SOURCE_DIR}/fetched.cmake)
    file(TOUCH ${FAILED})
    file(REMOVE ${OUT_DIR}/tundra.wasm)
    return()
  endif()
endif()
include(${SOURCE_DIR}/fetched.cmake)

set(BUILD ${WORK_DIR}/build)
if(NOT EXISTS ${BUILD}/CMakeCache.txt)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${WEB_SOURCE}/module -B ${BUILD}
    -DCMAKE_TOOLCHAIN_FILE=${WEB_SOURCE}/module/wasm32-wasi.cmake -DWASM_CLANG=${CLANG} -DWASM_CLANGXX=${CLANGXX}
    -DCMAKE_BUILD_TYPE=Release -DTUNDRA_SOURCE=${TUNDRA_SOURCE} -DAALIB_DIR=${AALIB_DIR}
    -DLIBXMP_DIR=${LIBXMP_DIR} -DSTB_DIR=${STB_DIR} -DOUT_DIR=${OUT_DIR}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    file(REMOVE ${BUILD}/CMakeCache.txt)
    message(FATAL_ERROR "web: the WebAssembly build could not be configured")
  endif()
endif()
# The outer make's job slots do not reach a command of a custom target: the nested build runs
# on its own JOBS, with the outer make's flags out of its way.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS --unset=MFLAGS --unset=MAKELEVEL
                        ${CMAKE_COMMAND} --build ${BUILD} --parallel ${JOBS} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "web: the WebAssembly module failed to build")
endif()
