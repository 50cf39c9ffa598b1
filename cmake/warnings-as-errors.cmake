# Warnings are errors for every target of the project's own, in each tree:
# called once at the end of the top CMakeLists, it walks the directories
# added so far and sets -Werror on each library and program.
function(qz_warnings_as_errors directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|EXECUTABLE)$")
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    qz_warnings_as_errors(${subdirectory})
  endforeach()
endfunction()
