# The update's download benchmark (run by bench/update, not by the tests).
add_executable(update_bench bench/update_bench.cpp)
target_link_libraries(update_bench PRIVATE korvan_core psapi)
# The package server signs with the tests' key.
add_dependencies(update_bench test_update_key)
target_include_directories(update_bench PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_options(update_bench PRIVATE -municode)
set_target_properties(update_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
