# Benchmark of the DNS test (bench/dns/run drives it against fixture resolvers).
add_executable(dns_bench bench/dns/bench.cpp)
target_link_libraries(dns_bench PRIVATE korvan_core)
target_link_options(dns_bench PRIVATE -municode -mconsole)
set_target_properties(dns_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
