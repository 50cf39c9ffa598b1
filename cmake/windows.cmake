# Settings for every Windows binary: 32-bit, static C++ runtime, nothing to
# ship beside the .exe but Windows' own DLLs.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${QZ_BIN_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${QZ_BIN_DIR})
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                        _WIN32_WINNT=0x0500 WINVER=0x0500 _WIN32_IE=0x0500)
add_compile_options(-Wall -Wextra -Os)
# The same source gives the same bytes wherever and whenever it is built:
# no build path in the objects (assert texts, __FILE__), no link time in the
# PE header, and no debug directory (-s strips the symbols; no build id).
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
add_link_options(-Wl,--no-insert-timestamp -Wl,--build-id=none)
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++ -s")
set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static -static-libgcc -static-libstdc++ -s")
