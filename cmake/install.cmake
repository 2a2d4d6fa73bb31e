# What `cmake --install` puts where on Linux, and the Debian package CPack
# makes of it (`cpack -G DEB` in the build folder):
#   bin/talvaro, bin/talvaro-setup, bin/ar8600-sim, bin/talvaro-start (the
#   desktop launcher); share/talvaro/wave/ (the English clips) and
#   share/talvaro/wave-<lang>/ for each other language built; the manual
#   pages; the desktop entry; the README under share/doc/talvaro.
# The panel finds its clips in ../share/talvaro beside its own folder, so the
# tree works wherever it is installed.
include(GNUInstallDirs)

foreach(program talvaro talvaro-setup ar8600-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(PROGRAMS tools/launcher/talvaro-start.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME talvaro-start)

set(talvaro_data_dir ${CMAKE_INSTALL_DATADIR}/talvaro)
if(TALVARO_BUILD_CLIPS)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/wave/ DESTINATION ${talvaro_data_dir}/wave FILES_MATCHING PATTERN "*.wav")
  # The same language list as the clip build: "all" is every clips.<lang>.tsv.
  set(install_languages ${TALVARO_CLIP_LANGUAGES})
  if(install_languages STREQUAL "all")
    file(GLOB language_tables RELATIVE ${PROJECT_SOURCE_DIR}/tools/clips ${PROJECT_SOURCE_DIR}/tools/clips/clips.*.tsv)
    list(TRANSFORM language_tables REPLACE "^clips\\.(.*)\\.tsv$" "\\1" OUTPUT_VARIABLE install_languages)
  endif()
  foreach(language IN LISTS install_languages)
    install(DIRECTORY ${PROJECT_BINARY_DIR}/wave-${language}/ DESTINATION ${talvaro_data_dir}/wave-${language}
            FILES_MATCHING PATTERN "*.wav")
  endforeach()
endif()

install(FILES packaging/linux/talvaro.1 packaging/linux/talvaro-setup.1 packaging/linux/ar8600-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/linux/talvaro.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES README.md tools/clips/VOICE.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# ---------------------------------------------------------------- package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Talvaro developers")
set(CPACK_PACKAGE_CONTACT "The Talvaro developers <talvaro@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "talking front panel for the AR8600 communications receiver")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A keyboard-only front panel for the AR8600 wideband communications receiver,
made for blind and partially sighted listeners: tune, search, scan and keep
memory banks from the keyboard, every key and every change of the receiver
answered with short recorded voice clips, the state shown in large text.
Includes talvaro-setup, which finds the receiver on the serial ports and
writes the configuration, and ar8600-sim, a receiver simulator on a
pseudo-terminal.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; the font is opened at run time
# through fontconfig, which shlibdeps cannot see: the window's sans-serif bold
# face is DejaVu Sans.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
include(CPack)
