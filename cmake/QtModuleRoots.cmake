# SPDX-License-Identifier: MIT
# Qt's modules share one include root, so a library that links only Qt Core
# could still include <QtWidgets/QWidget>. Each module used here gets an
# include root of its own instead, holding that module and the modules it is
# built on, and Qt's platform targets get Qt Core's: a library sees the
# headers of the Qt modules it links, no others.
set(zelvor_qt_bases_Core "")
set(zelvor_qt_bases_SerialPort Core)
set(zelvor_qt_bases_Gui Core)
set(zelvor_qt_bases_Widgets Core Gui)
set(zelvor_qt_bases_Test Core)

get_target_property(zelvor_qt_dirs Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
list(GET zelvor_qt_dirs 0 zelvor_qt_core_dir) # .../QtCore
get_filename_component(zelvor_qt_common_root ${zelvor_qt_core_dir} DIRECTORY)

function(zelvor_qt_own_root target root)
    get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
    set(own "")
    foreach(dir IN LISTS dirs)
        if(dir STREQUAL zelvor_qt_common_root)
            set(dir ${root})
        endif()
        list(APPEND own ${dir})
    endforeach()
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${own}")
endfunction()

foreach(module ${zelvor_qt_components})
    set(root ${PROJECT_BINARY_DIR}/qt-roots/${module})
    file(MAKE_DIRECTORY ${root})
    foreach(seen IN ITEMS ${module} ${zelvor_qt_bases_${module}})
        file(CREATE_LINK ${zelvor_qt_common_root}/Qt${seen} ${root}/Qt${seen} SYMBOLIC)
    endforeach()
    zelvor_qt_own_root(Qt6::${module} ${root})
endforeach()
foreach(target Qt6::Platform Qt6::GlobalConfig)
    zelvor_qt_own_root(${target} ${PROJECT_BINARY_DIR}/qt-roots/Core)
endforeach()
