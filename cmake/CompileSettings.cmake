# One INTERFACE target carries what every target of the project compiles with.
add_library(kavrin32_settings INTERFACE)
target_compile_features(kavrin32_settings INTERFACE cxx_std_20)
target_compile_options(kavrin32_settings INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(kavrin32_settings INTERFACE
  _GLIBCXX_ASSERTIONS
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY
  KAVRIN32_VERSION="${PROJECT_VERSION}"
  KAVRIN32_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  KAVRIN32_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  KAVRIN32_VERSION_PATCH=${PROJECT_VERSION_PATCH})
target_include_directories(kavrin32_settings INTERFACE ${PROJECT_SOURCE_DIR}/src)
if(KAVRIN32_WERROR)
  target_compile_options(kavrin32_settings INTERFACE -Werror)
endif()
if(KAVRIN32_SANITIZE)
  target_compile_options(kavrin32_settings INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(kavrin32_settings INTERFACE -fsanitize=address,undefined)
endif()
if(KAVRIN32_FUZZ)
  # Every layer a harness reaches is instrumented for libFuzzer's coverage and checked by the
  # sanitizers; the harnesses themselves link libFuzzer's main (tests/fuzz).
  target_compile_options(kavrin32_settings INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  target_link_options(kavrin32_settings INTERFACE -fsanitize=address,undefined)
endif()

set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTOUIC ON)
set(CMAKE_AUTORCC ON)
