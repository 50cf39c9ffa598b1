# Settings for every Windows binary: 32-bit, static C++ runtime, nothing to
# ship beside the .exe but Windows' own DLLs.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${QZ_BIN_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${QZ_BIN_DIR})
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                        _WIN32_WINNT=0x0500 WINVER=0x0500 _WIN32_IE=0x0500)
add_compile_options(-Wall -Wextra -Os)
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++ -s")
set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static -static-libgcc -static-libstdc++ -s")
