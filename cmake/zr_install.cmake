# Installing the two programs as a Linux desktop expects them (GNUInstallDirs, any prefix, any
# DESTDIR), and the Debian package CPack builds from the same rules:
#
#   bin/zeralvisualizador, bin/zeralconv
#   share/applications/zeralvisualizador.desktop        opens both report types (--open %f)
#   share/mime/packages/zeralvisualizador.xml           the two types, by name and by content
#   share/icons/hicolor/{SIZE,scalable}/{apps,mimetypes} the program's and the types' icons
#   share/thumbnailers/zeralvisualizador.thumbnailer     previews in file managers
#   share/metainfo/br.com.terravel.zeralvisualizador.metainfo.xml
#   share/man/man1/zeralconv.1.gz, zeralvisualizador.1.gz
#   share/zeralvisualizador/fonts/zeral-fonts.conf       Windows families to their stand-ins
#
# Everything else the viewer needs (window pictures, string tables, help page) is built into
# the programs, and the fonts come from fontconfig, so an installed copy works from any prefix.

include(GNUInstallDirs)
# Installing (and packaging) takes what has been built; it never starts a build of everything.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(ZR_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
set(ZR_ICON_SIZES 16 22 24 32 48 64 128 256)
set(ZR_MIME_ICONS application-x-zeral-text-report application-x-zeral-prepared-report)

# The program's icon is also built into the viewer, which gives it to all its windows.
qt_add_resources(ZR_APP_ICON_SOURCES ${ZR_DATA_DIR}/icons/icons.qrc)
add_library(zr_app_icons OBJECT ${ZR_APP_ICON_SOURCES})
target_link_libraries(zr_app_icons PRIVATE Qt6::Core)
target_link_libraries(zeralvisualizador PRIVATE zr_app_icons)

install(TARGETS zeralvisualizador zeralconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${ZR_DATA_DIR}/zeralvisualizador.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZR_DATA_DIR}/zeralvisualizador-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME zeralvisualizador.xml)
install(FILES ${ZR_DATA_DIR}/zeralvisualizador.thumbnailer
        DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
# The fontconfig rules both programs load (Windows families to metric-compatible faces).
install(FILES ${ZR_DATA_DIR}/fonts/zeral-fonts.conf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zeralvisualizador/fonts)
# The AppStream file and the package's change log carry the project version.
configure_file(${ZR_DATA_DIR}/zeralvisualizador.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/data/zeralvisualizador.metainfo.xml @ONLY)
configure_file(${ZR_DATA_DIR}/debian/changelog.in ${CMAKE_BINARY_DIR}/data/changelog @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/zeralvisualizador.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME br.com.terravel.zeralvisualizador.metainfo.xml)

set(ZR_HICOLOR ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
foreach(size IN LISTS ZR_ICON_SIZES)
    install(FILES ${ZR_DATA_DIR}/icons/zeralvisualizador-${size}.png
            DESTINATION ${ZR_HICOLOR}/${size}x${size}/apps RENAME zeralvisualizador.png)
    foreach(icon IN LISTS ZR_MIME_ICONS)
        install(FILES ${ZR_DATA_DIR}/icons/${icon}-${size}.png
                DESTINATION ${ZR_HICOLOR}/${size}x${size}/mimetypes RENAME ${icon}.png)
    endforeach()
endforeach()
install(FILES ${ZR_DATA_DIR}/icons/zeralvisualizador.svg DESTINATION ${ZR_HICOLOR}/scalable/apps)
foreach(icon IN LISTS ZR_MIME_ICONS)
    install(FILES ${ZR_DATA_DIR}/icons/${icon}.svg DESTINATION ${ZR_HICOLOR}/scalable/mimetypes)
endforeach()

# Manual pages, with @PROJECT_VERSION@ replaced by the version, compressed as Debian wants them
# (gzip -n: no name or time stamp inside, so the same page always gives the same bytes).
find_program(ZR_GZIP gzip REQUIRED)
set(ZR_MAN_PAGES zeralconv.1 zeralvisualizador.1)
set(ZR_MAN_OUTPUTS)
foreach(page IN LISTS ZR_MAN_PAGES)
    configure_file(${ZR_DATA_DIR}/man/${page} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
    set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${ZR_GZIP} -9 -n -c ${CMAKE_BINARY_DIR}/man/${page} > ${out}
        DEPENDS ${CMAKE_BINARY_DIR}/man/${page}
        COMMENT "Compressing the manual page ${page}"
        VERBATIM)
    list(APPEND ZR_MAN_OUTPUTS ${out})
endforeach()
set(ZR_CHANGELOG ${CMAKE_BINARY_DIR}/man/changelog.gz)
add_custom_command(OUTPUT ${ZR_CHANGELOG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${ZR_GZIP} -9 -n -c ${CMAKE_BINARY_DIR}/data/changelog > ${ZR_CHANGELOG}
    DEPENDS ${CMAKE_BINARY_DIR}/data/changelog
    VERBATIM)
add_custom_target(zr_man_pages ALL DEPENDS ${ZR_MAN_OUTPUTS} ${ZR_CHANGELOG})
install(FILES ${ZR_MAN_OUTPUTS} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The copyright notice and the change log, where Debian keeps a package's documents (the
# package is native: its version has no Debian revision, so the log is changelog.gz).
set(ZR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/zeralvisualizador)
install(FILES ${ZR_DATA_DIR}/debian/copyright DESTINATION ${ZR_DOC_DIR})
install(FILES ${ZR_CHANGELOG} DESTINATION ${ZR_DOC_DIR} RENAME changelog.gz)

# ---- Debian package (cpack -G DEB in the build folder) ---------------------------------------
set(CPACK_PACKAGE_NAME zeralvisualizador)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Terravel Informática")
set(CPACK_PACKAGE_CONTACT "ZeralVisualizador <suporte@zeralvisualizador.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer, printer and converter for saved Zeral reports")
set(CPACK_PACKAGE_DESCRIPTION
    "ZeralVisualizador opens the reports that business software saves instead\n"
    "of printing them: character-grid text reports (.GVP) and prepared reports\n"
    "(.QP3). It pages through, searches, prints and exports them (GVP, PRN,\n"
    "TXT, HTML, PDF). The zeralconv command describes, converts, prints and\n"
    "draws previews of reports without a display.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/zr_package_strip.cmake)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zeralvisualizador.invalid/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the libraries do not name: the platform plugins come with libqt6gui6 (shlibdeps), the
# report fonts' metric-compatible stand-ins (Liberation, Carlito, Caladea, Wine's Tahoma) and the
# closest faces for Verdana (DejaVu Sans) and Segoe UI (Open Sans). The package has no maintainer scripts: the MIME, desktop
# entry and icon caches belong to shared-mime-info, desktop-file-utils and the icon theme, whose
# dpkg triggers refresh them when our files come and go. Without those packages the programs
# still work; only the desktop's file associations need them, hence recommended.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-liberation2, fonts-crosextra-carlito, fonts-crosextra-caladea, fonts-wine, fonts-dejavu-core, fonts-open-sans")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "shared-mime-info, desktop-file-utils, qt6-translations-l10n, qt6-wayland, xdg-utils")
include(CPack)
