# Install rules for what a desktop installation carries besides the programs (manual pages,
# AppStream metainfo, licence and changelog), and the Debian package that CPack builds from them.
# The programs, the desktop entry and the icon are installed where they are built (src/app, src/cli).
include(GNUInstallDirs)

set(TESSALY_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tessaly)

# Manual pages and the changelog go in gzip-compressed, without a time stamp, as Debian requires.
# The manual pages take the project's version (@PROJECT_VERSION@); the changelog is copied as is.
find_program(GZIP_PROGRAM gzip REQUIRED)
function(tessaly_compressed_file source target mode)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/compressed/${target})
  configure_file(${source} ${copy} ${mode})
  add_custom_command(
    OUTPUT ${copy}.gz
    COMMAND ${GZIP_PROGRAM} -9nkf ${copy}
    DEPENDS ${copy}
    COMMENT "Compressing ${target}"
    VERBATIM)
  string(MAKE_C_IDENTIFIER "compress_${target}" name)
  add_custom_target(${name} ALL DEPENDS ${copy}.gz)
  set(TESSALY_COMPRESSED ${copy}.gz PARENT_SCOPE)
endfunction()

if(TARGET tessaly-cli)
  tessaly_compressed_file(${PROJECT_SOURCE_DIR}/docs/man/tessaly-cli.1 tessaly-cli.1 @ONLY)
  install(FILES ${TESSALY_COMPRESSED} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET tessaly)
  tessaly_compressed_file(${PROJECT_SOURCE_DIR}/docs/man/tessaly.1 tessaly.1 @ONLY)
  install(FILES ${TESSALY_COMPRESSED} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/io.github.tessaly.Tessaly.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
tessaly_compressed_file(${PROJECT_SOURCE_DIR}/packaging/changelog changelog COPYONLY)
install(FILES ${TESSALY_COMPRESSED} DESTINATION ${TESSALY_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${TESSALY_DOC_DIR})

# The Debian package: tessaly_<version>_amd64.deb, its library dependencies found by
# dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaly)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessaly developers")
set(CPACK_PACKAGE_CONTACT "Tessaly developers <tessaly@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unpack and pack sports game commentary audio archives")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Plain paragraphs: CPack puts the summary above them and turns them into the control file's
# continuation lines. No line may begin with a dot.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tessaly is for people who modify the commentary audio of a sports game. The
game keeps its clips in an archive pair: an index (.idx) and a data file
(.big) that holds the audio streams one after another.

Unpack lists and checks every stream of a pair and writes each one to a file
of its own in a folder, with a copy of the index and a text table of the
entries. Pack rebuilds a new pair from such a folder after some files were
replaced with shorter or longer ones: entries are padded, later entries move
and the index is patched.

The command-line front end, tessaly-cli, runs the same commands for scripts,
and also shows each clip's codec and length, exports clips to WAV files and
imports recordings in any format FFmpeg reads, converted to the clip they
replace. The desktop program is tessaly.")
include(CPack)
