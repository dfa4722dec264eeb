cmake_minimum_required(VERSION 3.25)
# Installs the plugin with `cmake --install` into a temporary prefix, checks the bundle's files
# are where hosts look (<libdir>/lv2/corvena.lv2/), and runs our lilv host's tests on it.
# -DBUILD_DIR= -DPREFIX= -DLIBDIR= -DHOST_TESTS= (the host test program)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                        --component lv2plugin
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed:\n${out}")
endif()
set(bundle ${PREFIX}/${LIBDIR}/lv2/corvena.lv2)
foreach(file manifest.ttl corvena.ttl corvena.so Resources.bundle/data0.wt
             Resources.bundle/data1.wt)
    if(NOT EXISTS ${bundle}/${file})
        message(FATAL_ERROR "the installed bundle has no ${file}:\n${out}")
    endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E env CORVENA_LV2_BUNDLE=${bundle} ${HOST_TESTS}
                        --gtest_filter=*Ports*:*TwoInstances*:*Latency*:*Refused*
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(REMOVE_RECURSE ${PREFIX})
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the lilv host failed on the installed bundle:\n${out}")
endif()
message(STATUS "${out}")
