# Benchmark of the FTP client (bench/ftp/run drives it against curl).
add_executable(ftp_bench bench/ftp/bench.cpp)
target_link_libraries(ftp_bench PRIVATE korvan_core)
target_link_options(ftp_bench PRIVATE -municode)
set_target_properties(ftp_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
