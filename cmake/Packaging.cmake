# Installation in the standard places, the Debian package, and the version
# record and icon of the Windows program file.
include(GNUInstallDirs)

install(TARGETS zelvor-console RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET zelvor-instrument-sim)
    install(TARGETS zelvor-instrument-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(UNIX AND NOT APPLE)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/zelvor-console.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    # The icon theme finds the icon by the desktop entry's Icon= name.
    set(icons ${PROJECT_SOURCE_DIR}/src/app/icons)
    install(FILES ${icons}/zelvor-16.png RENAME zelvor-console.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps)
    install(FILES ${icons}/zelvor-32.png RENAME zelvor-console.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
    install(FILES ${icons}/zelvor.svg RENAME zelvor-console.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

if(WIN32)
    # "1.00": the major number and a two-digit minor number.
    if(PROJECT_VERSION_MINOR LESS 10)
        set(ZELVOR_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
    else()
        set(ZELVOR_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
    endif()
    set(ZELVOR_ICO_PATH ${PROJECT_SOURCE_DIR}/packaging/windows/zelvor-console.ico)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/zelvor-console.rc.in
                   ${PROJECT_BINARY_DIR}/zelvor-console.rc @ONLY)
    target_sources(zelvor-console PRIVATE ${PROJECT_BINARY_DIR}/zelvor-console.rc)
endif()

set(CPACK_PACKAGE_NAME zelvor-console)
set(CPACK_PACKAGE_VENDOR "Zelvor Electronics Pvt. Ltd.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "Zelvor console maintainers <maintainers@zelvor.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${PROJECT_DESCRIPTION}
The console reads an instrument's zero, span, low range and high range over a
serial line, feeds its calibration outputs and stores new range values.
zelvor-instrument-sim plays the instrument for training and tests.")
set(CPACK_STRIP_FILES ON)
# The Qt libraries as dpkg-shlibdeps finds them; the platform plugins are
# loaded at run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
