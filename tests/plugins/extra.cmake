# Native plugins for the plugin tests, all from one source; the test
# program finds each through a NATIVE_PLUGIN_<NAME> definition.
function(add_native_test_plugin name)
  add_library(native_${name} MODULE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/native_plugin.c)
  target_compile_definitions(native_${name} PRIVATE ${ARGN})
  target_link_libraries(native_${name} PRIVATE kickstand_plugin_sdk)
  string(TOUPPER ${name} upper)
  target_compile_definitions(test_plugins PRIVATE
    NATIVE_PLUGIN_${upper}="$<TARGET_FILE:native_${name}>")
  add_dependencies(test_plugins native_${name})
endfunction()

add_native_test_plugin(v3 VERSION=3)
add_native_test_plugin(v2 VERSION=2 NO_HOST_PROFILE)
add_native_test_plugin(exit3 "START_FAILURE=_exit(3)")
add_native_test_plugin(kill9 "START_FAILURE=raise(SIGKILL)")
add_native_test_plugin(hang VERSION=2 "START_FAILURE=pause()")
add_native_test_plugin(nometadata NO_METADATA)
add_native_test_plugin(v9 VERSION=9)
add_native_test_plugin(cxx VERSION=3)
target_sources(native_cxx PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cxx_runtime.cpp)

# A console dialogue with a whole run on a pseudo-terminal.
add_test(NAME InteractiveModeTest.EveryAnswerOnARealTerminal
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/interactive_mode.py --kickstand $<TARGET_FILE:kickstand>)
set_tests_properties(InteractiveModeTest.EveryAnswerOnARealTerminal PROPERTIES LABELS plugins
  TIMEOUT 120)
