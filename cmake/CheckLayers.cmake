cmake_minimum_required(VERSION 3.25)
# Run by the build (cmake -DSOURCE_DIR=... -P CheckLayers.cmake): fails when a
# folder's code includes a header from a folder above it. The layers, bottom
# to top, and what each may include besides itself:
set(allowed_maths "")
set(allowed_screen "")
set(allowed_audio "maths")
set(allowed_text "screen")
# The cells drawn into pixels with the font: below the terminal layer, so
# that a view of it may show pixels.
set(allowed_picture "screen;text")
set(allowed_platform "screen;text;picture")
set(allowed_effects "screen;audio;maths")
set(allowed_driver "screen;audio;platform;effects;text;picture")
set(allowed_web "screen;audio;effects;text;picture;driver")
# The two programs beside the demo: the frame tool (vantrel-frames) and the
# composer with its report.
set(allowed_frames "screen;audio;platform;effects;text;picture;driver")
set(allowed_music "maths;audio")
# tools/ (the scripts and the programs they build), tests/ and bench/ stand
# above all of these and may include any of them.

set(violations "")
foreach(folder maths screen audio text picture platform effects driver web frames music)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.hpp ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^#include \"[a-z_0-9]+/")
    foreach(line ${includes})
      string(REGEX MATCH "^#include \"([a-z_0-9]+)/" ignored "${line}")
      set(included ${CMAKE_MATCH_1})
      if(NOT included STREQUAL folder AND NOT included IN_LIST allowed_${folder})
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
        string(APPEND violations "  ${shown}: ${line} (${folder}/ may include only: ${allowed_${folder}})\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "Includes from a folder above:\n${violations}")
endif()
