# Compiling for WebAssembly with Debian's clang and its wasm32 packages: wasi-libc for C, libc++
# and libc++abi for C++, compiler-rt's builtins (the 128-bit long double arithmetic lives there).
# The module is a WASI "reactor": a library whose functions JavaScript calls, with no main.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_C_COMPILER ${WASM_CLANG})
set(CMAKE_CXX_COMPILER ${WASM_CLANGXX})
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_EXECUTABLE_SUFFIX .wasm)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Debian's clang searches the machine's own /usr/include after the wasm32 headers: it is left
# out, so that no header of this machine's C library or of its installed libraries slips in.
set(WASM_INCLUDE /usr/include/wasm32-wasi)
set(CMAKE_C_FLAGS_INIT "-nostdlibinc -Wno-unused-command-line-argument -isystem ${WASM_INCLUDE}")
set(CMAKE_CXX_FLAGS_INIT "-nostdlibinc -Wno-unused-command-line-argument -isystem ${WASM_INCLUDE}/c++/v1 -isystem ${WASM_INCLUDE}")
