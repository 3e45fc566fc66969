# GLYPHAR_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer on every
# target of the build, every report fatal.
# GLYPHAR_FUZZ: coverage instrumentation for libFuzzer as well (clang only).

if(GLYPHAR_SANITIZE OR GLYPHAR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    message(FATAL_ERROR "GLYPHAR_SANITIZE and GLYPHAR_FUZZ need GCC or Clang")
  endif()
  add_compile_options(-fsanitize=address,undefined,float-cast-overflow,float-divide-by-zero
    -fno-sanitize-recover=all
    -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined,float-cast-overflow,float-divide-by-zero
    -fno-sanitize-recover=all)
endif()

if(GLYPHAR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "GLYPHAR_FUZZ needs clang (libFuzzer): -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
