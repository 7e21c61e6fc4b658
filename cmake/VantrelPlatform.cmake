# The one place where the build picks its platform pieces. Every subsystem's
# CMakeLists.txt takes its backend sources by these names.
#   VANTREL_CONSOLE_BACKEND  terminal: POSIX terminal (platform/terminal/)
#                            windows:  Windows console (platform/windows/)
#   VANTREL_AUDIO_BACKEND    posix:    mpg123 decoding, SDL2 output
#                            windows:  Audio Compression Manager decoding, waveOut output
if(WIN32)
  set(VANTREL_CONSOLE_BACKEND windows)
  set(VANTREL_AUDIO_BACKEND windows)
else()
  set(VANTREL_CONSOLE_BACKEND terminal)
  set(VANTREL_AUDIO_BACKEND posix)
endif()
message(STATUS "vantrel backends: console ${VANTREL_CONSOLE_BACKEND}, audio ${VANTREL_AUDIO_BACKEND}")
