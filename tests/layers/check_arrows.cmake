# SPDX-License-Identifier: MIT
# Holds CMake's own link graph against the list of allowed arrows.
#
#   cmake -DARROWS=<list> -DSOURCE_DIR=<source> -DGRAPH_DIR=<scratch folder>
#         [-DGENERATOR=<generator>] [-DSETTINGS=<initial cache>] -P check_arrows.cmake
#     configures <source> into the scratch folder with --graphviz, then checks
#   cmake -DARROWS=<list> -DGRAPH=<graph.dot> [-DEXTRA=<more graph lines>] -P check_arrows.cmake
#     checks a graph made before, with EXTRA's lines read after its own
#
# Every arrow that leaves a library or program of the project must be in the
# list, and every library or program must be named there. Arrows from Qt's
# own targets, to its private and platform helpers, to its code generators
# (a cross build's moc and uic are targets of the graph) and to a target's
# generated resources are not the project's and are left alone.
cmake_minimum_required(VERSION 3.22)

if(DEFINED SOURCE_DIR)
    # A folder of its own, made afresh: the graph is of the source as it is now.
    file(REMOVE_RECURSE "${GRAPH_DIR}")
    set(GRAPH "${GRAPH_DIR}/graph.dot")
    set(args -S "${SOURCE_DIR}" -B "${GRAPH_DIR}" "--graphviz=${GRAPH}"
        -DZELVOR_BUILD_TESTS=OFF -DZELVOR_BUILD_BENCH=OFF)
    if(GENERATOR)
        list(APPEND args -G "${GENERATOR}")
    endif()
    if(SETTINGS)
        list(APPEND args -C "${SETTINGS}")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" ${args}
        OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "configuring ${SOURCE_DIR} for its graph failed:\n${output}")
    endif()
endif()

set(allowed "")
set(named "")
file(STRINGS "${ARROWS}" lines)
foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*" "" line "${line}")
    if(line MATCHES "^[ \t]*([^ \t]+)[ \t]+->[ \t]+([^ \t]+)[ \t]*$")
        list(APPEND allowed "${CMAKE_MATCH_1} -> ${CMAKE_MATCH_2}")
        list(APPEND named "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}")
    elseif(NOT line MATCHES "^[ \t]*$")
        message(FATAL_ERROR "${ARROWS}: not an arrow \"from -> to\": ${line}")
    endif()
endforeach()

# CMake writes each node once with its label, and each arrow between two
# nodes; the legend's nodes are not quoted.
set(nodes "")
set(arrows "")
file(STRINGS "${GRAPH}" lines)
if(EXTRA)
    file(STRINGS "${EXTRA}" more)
    list(APPEND lines ${more})
endif()
foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*\"([^\"]+)\" \\[ label = \"([^\"]+)\", shape = ([a-z]+)")
        set(label_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
        set(shape_${CMAKE_MATCH_1} "${CMAKE_MATCH_3}")
        list(APPEND nodes "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^[ \t]*\"([^\"]+)\" -> \"([^\"]+)\"")
        list(APPEND arrows "${CMAKE_MATCH_1}|${CMAKE_MATCH_2}")
    endif()
endforeach()

# The project's own targets are written without "::"; a system library named
# by its file (setupapi) is drawn as a library of unknown kind.
function(classify node out)
    set(name "${label_${node}}")
    if(name MATCHES "_resources_[0-9]+$|^Qt6?::.*Private$|^Qt6?::(Platform|GlobalConfig|moc|uic|rcc)$")
        set(${out} ignored PARENT_SCOPE)
    elseif(name MATCHES "::" OR shape_${node} STREQUAL "septagon")
        set(${out} other PARENT_SCOPE)
    else()
        set(${out} project PARENT_SCOPE)
    endif()
endfunction()

set(faults "")
foreach(node IN LISTS nodes)
    set(name "${label_${node}}")
    classify(${node} kind)
    if(kind STREQUAL "project" AND NOT name IN_LIST named)
        string(APPEND faults "\n  ${name}: a library or program that the list does not name")
    endif()
endforeach()
set(checked 0)
foreach(arrow IN LISTS arrows)
    string(REPLACE "|" ";" ends "${arrow}")
    list(GET ends 0 from)
    list(GET ends 1 to)
    classify(${from} from_kind)
    classify(${to} to_kind)
    if(NOT from_kind STREQUAL "project" OR to_kind STREQUAL "ignored")
        continue()
    endif()
    set(from "${label_${from}}")
    set(to "${label_${to}}")
    math(EXPR checked "${checked} + 1")
    if(NOT "${from} -> ${to}" IN_LIST allowed)
        string(APPEND faults "\n  ${from} -> ${to}: not an allowed arrow")
    endif()
endforeach()

if(checked EQUAL 0)
    message(FATAL_ERROR "${GRAPH} holds no arrow of the project's libraries and programs")
endif()
if(faults)
    message(FATAL_ERROR "the link graph breaks ${ARROWS}:${faults}")
endif()
message(STATUS "${checked} arrows of ${GRAPH} are in ${ARROWS}")
