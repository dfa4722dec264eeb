cmake_minimum_required(VERSION 3.25)
# Installs the plugin with `cmake --install` into a temporary prefix, checks each format's files
# are where hosts look (<libdir>/lv2/corvena.lv2/, <libdir>/vst3/corvena.vst3/ and
# <libdir>/clap/corvena.clap with its tables beside it), and runs our hosts' tests on the
# three, each from where it was installed.
# -DBUILD_DIR= -DPREFIX= -DLIBDIR= -DHOST_TESTS= -DCLAP_TESTS= -DVST3_TESTS= (the test
# programs of our lilv, CLAP and VST3 hosts)
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
# Each format from where it was installed: its tables are found beside it there.
set(runs "CORVENA_LV2_BUNDLE=${bundle}|${HOST_TESTS}|*Ports*:*TwoInstances*:*Latency*:*Refused*"
    "CORVENA_CLAP_FILE=${lib}/clap/corvena.clap|${CLAP_TESTS}|*Note60*"
    "CORVENA_VST3_BUNDLE=${lib}/vst3/corvena.vst3|${VST3_TESTS}|*Note60*")
foreach(run IN LISTS runs)
    string(REPLACE "|" ";" run "${run}")
    list(GET run 0 variable)
    list(GET run 1 program)
    list(GET run 2 filter)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ${variable} ${program}
                            --gtest_filter=${filter}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "PASSED")
        file(REMOVE_RECURSE ${PREFIX})
        message(FATAL_ERROR "${program} failed on the install (${variable}):\n${out}")
    endif()
    message(STATUS "${out}")
endforeach()
file(REMOVE_RECURSE ${PREFIX})
