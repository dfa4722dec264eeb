cmake_minimum_required(VERSION 3.25)
# Installs the plugin with `cmake --install` into a temporary prefix, checks each format's files
# are where hosts look (<libdir>/lv2/corvena.lv2/, <libdir>/vst3/corvena.vst3/ and
# <libdir>/clap/corvena.clap with its tables beside it), and runs our lilv host's tests on the
# LV2 bundle.
# -DBUILD_DIR= -DPREFIX= -DLIBDIR= -DHOST_TESTS= (the host test program)
file(REMOVE_RECURSE ${PREFIX})
foreach(component lv2plugin vst3plugin clapplugin)
    execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                            --component ${component}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "cmake --install --component ${component} failed:\n${out}")
    endif()
endforeach()
set(lib ${PREFIX}/${LIBDIR})
foreach(file vst3/corvena.vst3/Contents/x86_64-linux/corvena.so
             vst3/corvena.vst3/Contents/Resources/data0.wt
             vst3/corvena.vst3/Contents/Resources/data1.wt clap/corvena.clap
             clap/corvena.clap.resources/data0.wt clap/corvena.clap.resources/data1.wt)
    if(NOT EXISTS ${lib}/${file})
        message(FATAL_ERROR "the install has no ${LIBDIR}/${file}")
    endif()
endforeach()
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
