# Common settings for every vantrel target: C++20, the repository root as the
# include root (so includes read "effects/ripple_field.hpp"), and warnings.
add_library(vantrel_settings INTERFACE)
target_compile_features(vantrel_settings INTERFACE cxx_std_20)
target_include_directories(vantrel_settings INTERFACE ${PROJECT_SOURCE_DIR})
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(vantrel_settings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
  if(VANTREL_WERROR)
    target_compile_options(vantrel_settings INTERFACE -Werror)
  endif()
endif()

# vantrel_library(name SOURCES...) declares a static library of the project.
function(vantrel_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC vantrel_settings)
endfunction()

# Link PRIVATE to the libraries whose arithmetic decides what is drawn (the
# particles, the ripple field, the spectrum): every build, with any compiler
# and at any optimisation level, must give the same bits.
add_library(vantrel_exact_arithmetic INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # A multiply fused with an add rounds once less than the two it replaces.
  target_compile_options(vantrel_exact_arithmetic INTERFACE -ffp-contract=off)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12's vectorisers drop roundings: after packing two float updates
  # computed in double (vx and vy, say), the SLP vectoriser goes on with the
  # unrounded doubles where the code reads the stored floats back, so the
  # particles leave their trajectory from the first step. No float store in
  # the source can stop it; turning the auto-vectorisers off here does. The
  # ripple field's vector kernels are written with intrinsics and unaffected.
  target_compile_options(vantrel_exact_arithmetic INTERFACE -fno-tree-vectorize)
endif()
