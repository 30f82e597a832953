# Install rules for what a desktop installation carries besides the programs (manual pages,
# AppStream metainfo, licence and changelog), and the two Debian packages that CPack builds from
# them: tessaly-cli (component cli: the command line, no Qt) and tessaly (component gui: the
# window, which depends on tessaly-cli). The programs, the desktop entry, the icon and the file
# types are installed where they are built (src/app, src/cli).
include(GNUInstallDirs)

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

tessaly_compressed_file(${PROJECT_SOURCE_DIR}/packaging/changelog changelog COPYONLY)
set(TESSALY_CHANGELOG ${TESSALY_COMPRESSED})
# Each package carries its copyright file and changelog in its own documentation folder.
function(tessaly_package_docs package component)
  install(FILES ${TESSALY_CHANGELOG} ${PROJECT_SOURCE_DIR}/packaging/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()

set(TESSALY_COMPONENTS)
if(TARGET tessaly-cli)
  tessaly_compressed_file(${PROJECT_SOURCE_DIR}/docs/man/tessaly-cli.1 tessaly-cli.1 @ONLY)
  install(FILES ${TESSALY_COMPRESSED} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
  tessaly_package_docs(tessaly-cli cli)
  list(APPEND TESSALY_COMPONENTS cli)
endif()
if(TARGET tessaly)
  tessaly_compressed_file(${PROJECT_SOURCE_DIR}/docs/man/tessaly.1 tessaly.1 @ONLY)
  install(FILES ${TESSALY_COMPRESSED} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT gui)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/io.github.tessaly.Tessaly.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT gui)
  tessaly_package_docs(tessaly gui)
  list(APPEND TESSALY_COMPONENTS gui)
endif()

# The Debian packages: tessaly-cli_<version>_amd64.deb and tessaly_<version>_amd64.deb, their
# library dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaly)
set(CPACK_COMPONENTS_ALL ${TESSALY_COMPONENTS})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_DEBIAN_CLI_PACKAGE_NAME tessaly-cli)
set(CPACK_DEBIAN_GUI_PACKAGE_NAME tessaly)
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "tessaly-cli (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_CLI_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_GUI_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessaly developers")
set(CPACK_PACKAGE_CONTACT "Tessaly developers <tessaly@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unpack and pack sports game commentary audio archives")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Plain paragraphs: CPack puts the summary above them and turns them into the control file's
# continuation lines. No line may begin with a dot.
set(TESSALY_ABOUT
    "Tessaly is for people who modify the commentary audio of a sports game. The
game keeps its clips in an archive pair: an index (.idx) and a data file
(.big) that holds the audio streams one after another.

Unpack lists and checks every stream of a pair and writes each one to a file
of its own in a folder, with a copy of the index and a text table of the
entries. Pack rebuilds a new pair from such a folder after some files were
replaced with shorter or longer ones: entries are padded, later entries move
and the index is patched.")
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "unpack and pack sports game commentary audio archives (command line)
${TESSALY_ABOUT}

This package holds the command-line front end, tessaly-cli, for scripts and
servers: it needs no desktop. It also shows each clip's codec and length,
exports clips to WAV files and imports recordings in any format FFmpeg reads,
converted to the clip they replace.")
set(CPACK_DEBIAN_GUI_DESCRIPTION
    "unpack and pack sports game commentary audio archives (desktop program)
${TESSALY_ABOUT}

This package holds the desktop program, tessaly, which opens archives from a
file manager. The command line comes with tessaly-cli.")
include(CPack)
