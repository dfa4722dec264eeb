cmake_minimum_required(VERSION 3.25)
# Lists the dynamic symbols the engine library defines and fails on any outside its interface.
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
set(allowed
    CreateDspObject ReleaseDspObject DspInitialize DspSetBundleDirectoryPath
    DspSetParameterCallback DspAudioUnitSetCreateOutputProc DspCreateOutputProc
    DspCreateInputProc DspSetEvent DspSetEventWithTimeStamp DspSetEventToSubBuffer
    DspSetEventWithTimeStampToSubBuffer DspSetSequencerEvent DspGetParameterInfo
    DspGetParameterDescription DspGetScaledValue DspGetNormalizedValue
    SetEventToSubBuffer velocity_default Corvena_CoreVersionNumber Corvena_CoreVersionString
    AudioUnitAudioOutputProc AudioOutputIOProc AudioInputIOProc)
string(REPLACE "\n" ";" lines "${symbols}")
set(unexpected "")
foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-f]+ ([A-Za-z]) (.+)$")
        set(kind ${CMAKE_MATCH_1})
        set(name ${CMAKE_MATCH_2})
        string(REGEX REPLACE "@.*$" "" name "${name}")
        if(kind STREQUAL "A")
            continue()
        endif()
        if(NOT name IN_LIST allowed)
            list(APPEND unexpected ${name})
        endif()
    endif()
endforeach()
if(unexpected)
    message(FATAL_ERROR "unexpected exports: ${unexpected}")
endif()
foreach(name IN LISTS allowed)
    if(NOT symbols MATCHES "[ \n]${name}\n")
        message(FATAL_ERROR "missing export: ${name}")
    endif()
endforeach()
