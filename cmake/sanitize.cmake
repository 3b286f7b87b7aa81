# DRAVIK_SANITIZE=ON builds the game, its libraries and every test with AddressSanitizer
# and UndefinedBehaviorSanitizer; any report ends the process that made it, so a test
# that meets one fails.  Included right after the compile options, before any target.
#   cmake -S . -B build-test-asan -DDRAVIK_SANITIZE=ON
option(DRAVIK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(DRAVIK_SANITIZE)
  set(DRAVIK_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
  # A module preloaded into the game (the tests' fixed clock) stays plain: the runtime
  # is linked into each executable, so that nothing has to be loaded before it.
  set(_dravik_instrumented $<NOT:$<STREQUAL:$<TARGET_PROPERTY:TYPE>,MODULE_LIBRARY>>)
  add_compile_options("$<${_dravik_instrumented}:${DRAVIK_SANITIZE_FLAGS}>")
  add_link_options("$<${_dravik_instrumented}:${DRAVIK_SANITIZE_FLAGS}>")
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_link_options("$<${_dravik_instrumented}:-static-libasan;-static-libubsan>")
  endif()
endif()
