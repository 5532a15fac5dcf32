# Coder library: Base64, MD5 and digit strings, the two encoded file formats.
# OpenSSL's MD5 serves as the independent digest the tests check against.
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
ov_add_test(coder_test LABELS unit
  SOURCES coder/base64_test.cpp coder/md5_test.cpp coder/config_file_test.cpp
          coder/encode_file_test.cpp coder/coder_test_util.cpp
  LIBS ov::coder ov::platform OpenSSL::Crypto)

# The fuzz targets compile the library's sources themselves, so that the
# fuzzer's coverage instrumentation reaches the code under test.
file(GLOB OV_CODER_FUZZ_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/ovcoder/src/*.cpp)
ov_add_fuzz(fuzz_base64_decode SOURCES coder/fuzz_base64_decode.cpp ${OV_CODER_FUZZ_SOURCES}
  LIBS ov::platform ov::nlib)
ov_add_fuzz(fuzz_config_read SOURCES coder/fuzz_config_read.cpp ${OV_CODER_FUZZ_SOURCES}
  LIBS ov::platform ov::nlib)
ov_add_fuzz(fuzz_encodefile_read SOURCES coder/fuzz_encodefile_read.cpp ${OV_CODER_FUZZ_SOURCES}
  LIBS ov::platform ov::nlib)
