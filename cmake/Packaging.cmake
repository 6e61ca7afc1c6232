# SPDX-License-Identifier: GPL-3.0-or-later
# Installation layout and the Debian package.
include(GNUInstallDirs)

if(TARGET biletoria-dbv)
    # The demo database the first run falls back to when no database sits next to the program.
    set(BILETORIA_DEMO_DB ${CMAKE_BINARY_DIR}/share/biletoria/dataAB.dbv)
    add_custom_command(
        OUTPUT ${BILETORIA_DEMO_DB}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share/biletoria
        COMMAND biletoria-dbv demo -o ${BILETORIA_DEMO_DB}
        DEPENDS biletoria-dbv
        COMMENT "Writing the demo question database"
        VERBATIM)
    add_custom_target(demo_database ALL DEPENDS ${BILETORIA_DEMO_DB})
    install(FILES ${BILETORIA_DEMO_DB} DESTINATION ${CMAKE_INSTALL_DATADIR}/biletoria)
endif()

if(BILETORIA_BUILD_GUI)
    install(FILES packaging/biletoria.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES packaging/biletoria.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES packaging/org.biletoria.biletoria.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(CPACK_PACKAGE_NAME biletoria)
set(CPACK_PACKAGE_VENDOR "The Biletoria developers")
set(CPACK_PACKAGE_CONTACT "The Biletoria developers <team@biletoria.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Trainer for the theory part of the Russian driving licence exam")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://biletoria.example.org")
set(CPACK_PACKAGE_INSTALL_DIRECTORY biletoria)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library packages come from the linked libraries; the fonts are only loaded at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Downloads over https load OpenSSL at run time and check servers against the system CAs;
# Qt's own dialogs and buttons speak Russian through its translations.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, libssl3, ca-certificates, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Learning by ticket and theme, preparation, timed training and a simulation of the\n\
official exam with additional blocks, with statistics of every answer. Ships a demo\n\
question database; real databases are built with biletoria-dbv.")
include(CPack)
