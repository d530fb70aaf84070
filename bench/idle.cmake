# The idle benchmark (bench/idle/run): a bare reference window and a probe
# that finds windows by title, both run under Wine beside the tool.
add_executable(idle_reference WIN32 bench/idle/reference.cpp)
target_link_options(idle_reference PRIVATE -municode)
set_target_properties(idle_reference PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_executable(idle_probe bench/idle/probe.cpp)
target_link_libraries(idle_probe PRIVATE psapi)
target_link_options(idle_probe PRIVATE -municode -mconsole)
set_target_properties(idle_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
