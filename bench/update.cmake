# The update's download benchmark (run by bench/update, not by the tests).
add_executable(update_bench bench/update_bench.cpp)
target_link_libraries(update_bench PRIVATE korvan_core psapi)
target_link_options(update_bench PRIVATE -municode)
set_target_properties(update_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
