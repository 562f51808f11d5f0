# SPDX-License-Identifier: MIT
# Installation in the standard places, the Debian package, and the version
# record and icon of the Windows program file.
include(GNUInstallDirs)

install(TARGETS zelvor-console RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET zelvor-instrument-sim)
    install(TARGETS zelvor-instrument-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(UNIX AND NOT APPLE)
    set(linux ${PROJECT_SOURCE_DIR}/packaging/linux)
    install(FILES ${linux}/io.zelvor.CalibrationConsole.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${linux}/io.zelvor.CalibrationConsole.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    # The icon theme finds the icon by the desktop entry's Icon= name.
    set(icons ${PROJECT_SOURCE_DIR}/src/app/icons)
    install(FILES ${icons}/zelvor-16.png RENAME zelvor-console.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps)
    install(FILES ${icons}/zelvor-32.png RENAME zelvor-console.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
    install(FILES ${icons}/zelvor.svg RENAME zelvor-console.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    # Manual pages and documents go compressed, as Debian wants them; -n keeps
    # the time out of the files, so the same sources give the same package.
    find_program(ZELVOR_GZIP gzip REQUIRED)
    set(compressed ${PROJECT_BINARY_DIR}/packaging)
    set(pages zelvor-console.1)
    if(TARGET zelvor-instrument-sim)
        list(APPEND pages zelvor-instrument-sim.1)
    endif()
    set(gz_outputs "")
    foreach(source IN LISTS pages ITEMS ${linux}/changelog ${PROJECT_SOURCE_DIR}/README.md)
        if(NOT IS_ABSOLUTE ${source})
            set(source ${linux}/${source})
        endif()
        get_filename_component(name ${source} NAME)
        add_custom_command(OUTPUT ${compressed}/${name}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${compressed}
            COMMAND ${ZELVOR_GZIP} -9n -c ${source} > ${compressed}/${name}.gz
            DEPENDS ${source}
            VERBATIM)
        list(APPEND gz_outputs ${compressed}/${name}.gz)
    endforeach()
    add_custom_target(zelvor_compressed_docs ALL DEPENDS ${gz_outputs})
    list(TRANSFORM pages APPEND .gz)
    list(TRANSFORM pages PREPEND ${compressed}/)
    install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    # The licence text is in copyright, where Debian looks for it.
    install(FILES ${linux}/copyright ${compressed}/changelog.gz ${compressed}/README.md.gz
            DESTINATION ${CMAKE_INSTALL_DOCDIR})

    # A stripped install (cpack, cmake --install --strip) also drops the
    # compiler's notes in .comment, which nothing reads at run time. The build
    # tree keeps everything for the debugger.
    if(CMAKE_OBJCOPY)
        foreach(program zelvor-console zelvor-instrument-sim)
            if(TARGET ${program})
                install(CODE "
                    if(CMAKE_INSTALL_DO_STRIP)
                        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${program}>\"
                            COMMAND_ERROR_IS_FATAL ANY)
                    endif()")
            endif()
        endforeach()
    endif()
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

    # Windows finds a program's DLLs in its own folder, and Qt finds its
    # plugins in folders beside them: what is installed runs where it is.
    install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
            ${zelvor_runtime_dlls}
            DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
            DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
    install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
            DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
    # A stripped install (cpack) strips the DLLs brought along too.
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/*.dll\")
            foreach(dll IN LISTS dlls)
                execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\"
                    COMMAND_ERROR_IS_FATAL ANY)
            endforeach()
        endif()")
endif()

set(CPACK_PACKAGE_NAME zelvor-console)
set(CPACK_PACKAGE_VENDOR "Zelvor Electronics Pvt. Ltd.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "Zelvor console maintainers <maintainers@zelvor.invalid>")
if(WIN32)
    # An installer of the project's own (packaging/windows/installer.nsi), for
    # all users or just one, made from the install tree that cpack stages; and
    # a zip that runs where it is unpacked.
    set(CPACK_GENERATOR External ZIP)
    set(CPACK_SYSTEM_NAME win64)
    set(CPACK_EXTERNAL_ENABLE_STAGING ON)
    set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/WindowsInstaller.cmake)
    find_program(ZELVOR_MAKENSIS makensis)
    set(CPACK_ZELVOR_MAKENSIS ${ZELVOR_MAKENSIS})
    set(CPACK_ZELVOR_INSTALLER_SCRIPT ${PROJECT_SOURCE_DIR}/packaging/windows/installer.nsi)
    set(CPACK_ZELVOR_ICON ${PROJECT_SOURCE_DIR}/packaging/windows/zelvor-console.ico)
    set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
else()
    set(CPACK_GENERATOR DEB)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The summary above is the synopsis; this is the rest, which must not repeat it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The console reads an instrument's zero, span, low range and high range over a
serial line, makes it feed its zero and span calibration outputs, and sends
and saves new range values. Any serial device can serve as Com 1 to Com 8,
USB adapters included, without root.

zelvor-instrument-sim plays the instrument on a pseudo-terminal, for training
and tests; zelvor-console --simulate has it built in.")
# The windows were laid out with the metrics of the Liberation fonts; without
# them they still work, in DejaVu, with tighter text.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation2)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
# The Qt libraries as dpkg-shlibdeps finds them; the platform plugins are
# loaded at run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
