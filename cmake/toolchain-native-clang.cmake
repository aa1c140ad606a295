# The native Linux x86-64 build (tests/native): Debian's clang, whose runtime
# libraries give AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
