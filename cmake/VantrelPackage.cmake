# What is installed, and the packages made of it (cmake --build --preset
# release --target package): a Debian package on Linux, a zip on Windows.
# Both programs carry the track inside them, so nothing else is needed to run.

set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "the vantrel developers")
set(CPACK_PACKAGE_CONTACT "vantrel developers <vantrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time text-mode demo with its own music")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # One folder to unpack anywhere: the two programs, a short text and the licence.
  install(TARGETS vantrel vantrel-frames RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/tools/windows/README.txt DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vantrel-${PROJECT_VERSION}-windows-x86_64)
  include(CPack)
  return()
endif()

# Debian wants manual pages and the changelog compressed with gzip -9n (no
# name or time stamp, so the package is the same from build to build).
set(packaged_docs ${PROJECT_BINARY_DIR}/packaged-docs)
set(compressed_docs)
foreach(document IN ITEMS docs/man/vantrel.1 docs/man/vantrel-frames.1 tools/deb/changelog)
  get_filename_component(name ${document} NAME)
  set(compressed ${packaged_docs}/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaged_docs}
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/${document} > ${compressed}
    DEPENDS ${PROJECT_SOURCE_DIR}/${document})
  list(APPEND compressed_docs ${compressed})
endforeach()
add_custom_target(vantrel-packaged-docs ALL DEPENDS ${compressed_docs})

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vantrel)
install(TARGETS vantrel vantrel-frames RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaged_docs}/vantrel.1.gz ${packaged_docs}/vantrel-frames.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/tools/deb/copyright
        DESTINATION ${doc_dir})
# A package of its own upstream (a native package) keeps changelog.gz.
install(FILES ${packaged_docs}/changelog.gz DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vantrel.example.org/")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "vantrel takes an 80 by 50 character screen, plays its own music and draws
every frame out of character cells: an interference pattern of circular waves
centred on six bodies that attract one another, 80 spectrum bars that rise
with the music, and a message in big letters scrolling by. It runs in any
terminal, in the console's own colours, at half height where the terminal is
smaller than 80 by 50. vantrel-frames draws the same frames as pictures.")
include(CPack)
