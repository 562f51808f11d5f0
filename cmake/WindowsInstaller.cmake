# SPDX-License-Identifier: MIT
# Run by cpack's External generator once it has staged the install tree:
# makes packaging/windows/installer.nsi into the installer. The uninstaller
# deletes exactly what was staged, so files a user put beside the program
# stay, and so does a folder that is not empty then.
if(NOT CPACK_ZELVOR_MAKENSIS)
    message(FATAL_ERROR "makensis was not found when the build was configured (Debian's nsis package)")
endif()
set(stage "${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${stage}" "${stage}/*")
file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${stage}" "${stage}/*")
if(NOT files)
    message(FATAL_ERROR "nothing staged in ${stage}")
endif()
set(folders "")
foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${stage}/${entry}")
        list(APPEND folders "${entry}")
    endif()
endforeach()
# Reversed, a folder comes after every folder inside it.
list(SORT folders)
list(REVERSE folders)

set(list_file "${CPACK_TOPLEVEL_DIRECTORY}/uninstall-list.nsh")
set(lines "")
foreach(file IN LISTS files)
    string(REPLACE "/" "\\" file "${file}")
    string(APPEND lines "Delete \"$INSTDIR\\${file}\"\n")
endforeach()
foreach(folder IN LISTS folders)
    string(REPLACE "/" "\\" folder "${folder}")
    string(APPEND lines "RMDir \"$INSTDIR\\${folder}\"\n")
endforeach()
file(WRITE "${list_file}" "${lines}")

set(installer "${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.exe")
execute_process(
    COMMAND "${CPACK_ZELVOR_MAKENSIS}" -V2
        "-DVERSION=${CPACK_PACKAGE_VERSION}"
        "-DSTAGE=${stage}"
        "-DOUTFILE=${installer}"
        "-DLICENSE=${CPACK_RESOURCE_FILE_LICENSE}"
        "-DICON=${CPACK_ZELVOR_ICON}"
        "-DUNINSTALL_LIST=${list_file}"
        "${CPACK_ZELVOR_INSTALLER_SCRIPT}"
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "makensis failed (${status})")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES "${installer}")
