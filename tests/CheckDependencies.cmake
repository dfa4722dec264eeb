cmake_minimum_required(VERSION 3.25)
# Proves that the code outside the engine depends only on what its layer may use, from the
# include paths the build really gives each target (a header named by its bare file name is
# found only through them) and from the includes themselves (none names a path into the tree):
#
#   platform/*                 platform/*
#   app/*                      app/*, platform/*, the engine's C interface
#   hosting                    the engine's C interface
#   plugin, render             hosting and the engine's C interface; render platform/resources;
#                              plugin the panel's description (app/design, platform/drawing)
#
# The engine's C interface is engine/include with platform/audio, whose audio types its header
# includes. The engine's own folders are checked by EngineFoldersDependOnlyDownward.
# -DTARGETS= a file that sets target_count and, for each target i, target_<i>_name,
# target_<i>_area (its folder) and target_<i>_includes. -DSOURCE= the source tree, -DBUILD= the
# build tree.
include(${TARGETS})

set(interface engine/include platform/audio)
set(allowed_platform "platform/[^/]+")
set(allowed_app "app/[^/]+" "platform/[^/]+" ${interface})
set(allowed_hosting hosting ${interface})
set(allowed_plugin plugin hosting app/design platform/drawing ${interface})
set(allowed_render render hosting platform/resources ${interface})

set(failures "")
math(EXPR last "${target_count} - 1")
foreach(i RANGE ${last})
    set(name ${target_${i}_name})
    set(area ${target_${i}_area})
    string(REGEX REPLACE "/.*" "" layer ${area})
    if(NOT DEFINED allowed_${layer})
        string(APPEND failures "${name} in ${area}: no rule for its folder\n")
        continue()
    endif()
    foreach(directory IN LISTS target_${i}_includes)
        cmake_path(IS_PREFIX SOURCE "${directory}" NORMALIZE inside)
        if(NOT inside OR directory MATCHES "^${BUILD}(/|$)")
            continue() # the system's and the build tree's
        endif()
        cmake_path(RELATIVE_PATH directory BASE_DIRECTORY ${SOURCE} OUTPUT_VARIABLE folder)
        string(REGEX REPLACE "/$" "" folder "${folder}")
        set(ok FALSE)
        foreach(pattern IN LISTS allowed_${layer})
            if(folder MATCHES "^${pattern}$")
                set(ok TRUE)
            endif()
        endforeach()
        if(NOT ok)
            string(APPEND failures "${name} in ${area} sees ${folder}\n")
        endif()
    endforeach()
endforeach()

# An include with a path would reach past the include path.
foreach(top app platform hosting plugin render)
    file(GLOB_RECURSE sources ${SOURCE}/${top}/*.h ${SOURCE}/${top}/*.cpp)
    foreach(source IN LISTS sources)
        file(STRINGS ${source} lines REGEX "^#include \"")
        foreach(line IN LISTS lines)
            if(line MATCHES "^#include \"(\\.\\./|(app|engine|platform|hosting|plugin|render|tests)/)")
                cmake_path(RELATIVE_PATH source BASE_DIRECTORY ${SOURCE})
                string(APPEND failures "${source}: ${line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "${failures}")
endif()
message(STATUS "${target_count} targets outside the engine, each seeing only what its layer may")
