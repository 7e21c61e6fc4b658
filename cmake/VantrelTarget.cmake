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
