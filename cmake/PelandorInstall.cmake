# Installation and the Debian package.
#
# The program and its import modules share one folder, P/lib/pelandor, since
# the type list looks for modules beside the executable; P/bin/pelandor is a
# relative link to it (the program resolves links to find its own folder).

set(PELANDOR_INSTALL_PROGRAM_DIR lib/pelandor)

install(TARGETS pelandor pelandor-module-host RUNTIME DESTINATION ${PELANDOR_INSTALL_PROGRAM_DIR})
# The Windows module hosts, where they were built (they run under Wine).
foreach(machine IN LISTS PELANDOR_WINDOWS_MACHINES)
    install(PROGRAMS ${PELANDOR_BIN_DIR}/pelandor-module-host-${machine}.exe
        DESTINATION ${PELANDOR_INSTALL_PROGRAM_DIR})
endforeach()
install(CODE "
    set(bin_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(MAKE_DIRECTORY \"\${bin_dir}\")
    file(CREATE_LINK ../${PELANDOR_INSTALL_PROGRAM_DIR}/pelandor \"\${bin_dir}/pelandor\" SYMBOLIC)
    message(STATUS \"Installing: \${bin_dir}/pelandor -> ../${PELANDOR_INSTALL_PROGRAM_DIR}/pelandor\")
")
install(FILES include/pelandor/spi_plugin.h DESTINATION include/pelandor)

install(FILES data/pelandor.desktop DESTINATION share/applications)
install(FILES data/org.pelandor.Pelandor.metainfo.xml DESTINATION share/metainfo)
install(FILES data/icons/pelandor.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${CMAKE_BINARY_DIR}/icons/${size}x${size}/pelandor.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES docs/pelandor.1 DESTINATION share/man/man1)
install(FILES docs/ja/pelandor.1 DESTINATION share/man/ja/man1)
install(FILES ${PELANDOR_QM_FILES} DESTINATION share/pelandor/translations)

# cpack -G DEB (run in the build folder) makes a package that installs under /usr.
set(CPACK_PACKAGE_NAME pelandor)
set(CPACK_PACKAGE_VENDOR "Pelandor developers")
set(CPACK_PACKAGE_CONTACT "Pelandor developers <dev@pelandor.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "thumbnail image browser")
set(CPACK_PACKAGE_DESCRIPTION
    "Pelandor lists every image of a folder as a thumbnail or as a report line, sorts the list, opens images in zoomable viewer windows, saves them as BMP or JPEG, sets the wallpaper, copies, moves and deletes files and starts programs of the user's choice on them. PNG, GIF, TIFF, WebP, AVIF, HEIF and JPEG XL are read through import modules.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The modules are found by dpkg-shlibdeps too; the display plug-ins, the MIME
# database and the font are not linked libraries and are declared by hand.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, shared-mime-info, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# Windows import modules run under Wine.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine64")
include(CPack)
