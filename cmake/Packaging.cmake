# What a Linux install puts beside the programs (udev rule, desktop entries, icon, AppStream
# metadata, manual pages), and the Debian package that carries it all: `cpack -G DEB`.
include(GNUInstallDirs)

set(kavo3_linux ${PROJECT_SOURCE_DIR}/packaging/linux)
set(kavo3_icons ${PROJECT_SOURCE_DIR}/packaging/icons)

# Under the package's prefix /usr this is where udev reads it; udev never looks in /usr/local.
install(FILES ${kavo3_linux}/70-kavo3.rules DESTINATION lib/udev/rules.d)
install(FILES ${kavo3_linux}/kavo3tool.desktop ${kavo3_linux}/kavo3tool-demo.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${kavo3_linux}/kavo3tool.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${kavo3_icons}/kavo3tool.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${kavo3_icons}/png/kavo3tool-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kavo3tool.png)
endforeach()

# Manual pages and the Debian changelog go in compressed, without a time stamp, as Debian wants.
# Every page in packaging/linux/man is installed, so a new program's page needs no rule here.
file(GLOB kavo3_man_pages CONFIGURE_DEPENDS ${kavo3_linux}/man/*.1)
set(kavo3_compressed)
function(kavo3_gzip source target)
    add_custom_command(OUTPUT ${target}
        COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${source} ${target}
        DEPENDS ${source} VERBATIM)
    set(kavo3_compressed ${kavo3_compressed} ${target} PARENT_SCOPE)
endfunction()
foreach(page IN LISTS kavo3_man_pages)
    get_filename_component(name ${page} NAME)
    kavo3_gzip(${page} ${CMAKE_BINARY_DIR}/man/${name}.gz)
    install(FILES ${CMAKE_BINARY_DIR}/man/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# Completion of kavo3cli, where bash-completion and zsh look for it.
install(FILES ${kavo3_linux}/completion/kavo3cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kavo3cli)
install(FILES ${kavo3_linux}/completion/_kavo3cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
kavo3_gzip(${kavo3_linux}/changelog ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
add_custom_target(kavo3_compressed_docs ALL DEPENDS ${kavo3_compressed})
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz ${kavo3_linux}/copyright
              ${PROJECT_SOURCE_DIR}/docs/kavo3cli.schema.json
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kavo3tool)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavo3tool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The project maintains the package; a distributor that passes it on names itself here.
set(KAVO3_PACKAGE_CONTACT "The KAVO-3 tool authors <kavo3tool@example.com>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${KAVO3_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "adjust, capture and update a KAVO-3 video unit over USB")
set(CPACK_PACKAGE_DESCRIPTION
"A desktop tool for the KAVO-3 video-processing unit, attached over USB as
a HID device. It checks that the unit answers, adjusts its fourteen video
timing registers live with sliders and saves or loads them as a file,
presses the keys of the unit's remote control on an on-screen picture,
freezes and captures a frame and saves it as a 24-bit BMP, and writes a
file into the unit's flash ROM and verifies it by checksum.
.
kavo3tool-demo is the same tool against a built-in simulated unit;
kavo3cli runs the same sequences from a terminal, for scripts and test
rigs. A udev rule gives the user at the seat access to the unit. The
windows are in Japanese.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the standard dialogs in Japanese,
# the design font's stand-in, and Qt's platform plugins (without them no window opens).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-ipafont-gothic, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${kavo3_linux}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
