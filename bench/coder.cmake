# Coder library throughput beside OpenSSL's MD5 and Base64 block functions.
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
add_executable(coder_bench coder/coder_bench.cpp)
target_link_libraries(coder_bench PRIVATE ov::common ov::coder benchmark::benchmark OpenSSL::Crypto)
