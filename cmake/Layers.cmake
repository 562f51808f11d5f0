# SPDX-License-Identifier: MIT
# The layers: each library's folder is its include root, and the libraries and
# Qt modules that each library and program may link (its arrows) are stated
# where it is declared. zelvor_check_layers() fails the configure step when a
# target links along any other arrow, or when a library or program under
# src/ or tools/ was declared without its arrows.

# zelvor_layer(<target> <folder> <arrow>...)
function(zelvor_layer target folder)
    set(root ${PROJECT_BINARY_DIR}/layers/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC COPY_ON_ERROR)
    qt_add_library(${target} STATIC)
    target_include_directories(${target} PUBLIC ${root})
    zelvor_program(${target} ${ARGN})
endfunction()

# zelvor_program(<target> <arrow>...): the arrows of a program, or of a
# library declared by zelvor_layer().
function(zelvor_program target)
    set_property(GLOBAL APPEND PROPERTY ZELVOR_LAYERED_TARGETS ${target})
    set_property(GLOBAL PROPERTY ZELVOR_ARROWS_${target} ${ARGN})
endfunction()

function(zelvor_built_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        zelvor_built_targets(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(zelvor_check_layers)
    get_property(layered GLOBAL PROPERTY ZELVOR_LAYERED_TARGETS)
    zelvor_built_targets(${PROJECT_SOURCE_DIR}/src built)
    zelvor_built_targets(${PROJECT_SOURCE_DIR}/tools tools)
    foreach(target IN LISTS built tools)
        get_target_property(type ${target} TYPE)
        # qt_add_resources() builds a target's resources as an object library of its own.
        if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|EXECUTABLE)$"
           AND NOT target IN_LIST layered)
            message(FATAL_ERROR "${target} has no arrows: declare it with zelvor_layer() or zelvor_program()")
        endif()
    endforeach()
    foreach(target IN LISTS layered)
        get_property(arrows GLOBAL PROPERTY ZELVOR_ARROWS_${target})
        get_target_property(direct ${target} LINK_LIBRARIES)
        get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
        foreach(item IN LISTS direct interface)
            string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
            # Project libraries and Qt modules; Qt's private helper targets
            # (entry point, platform) and a target's own resources go along.
            if(item MATCHES "^${target}_resources_[0-9]+$" OR item MATCHES "Private$")
                continue()
            endif()
            if(item MATCHES "^(zelvor|Qt6::)" AND NOT item IN_LIST arrows)
                message(FATAL_ERROR "${target} links ${item}, which is not one of its arrows (${arrows})")
            endif()
        endforeach()
    endforeach()
endfunction()
