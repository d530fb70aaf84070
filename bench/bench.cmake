# Benchmarks: Windows programs run under Wine by their scripts (bench/*/run).
add_executable(bench_startup bench/startup/main.cpp)
target_link_libraries(bench_startup PRIVATE korvan_core)
target_link_options(bench_startup PRIVATE -mconsole)
set_target_properties(bench_startup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
