# libFuzzer target for the MIDI parser: the fuzz input is taken as a packet-list image of
# exactly its own size. Built with CORVENA_BUILD_FUZZERS=ON, clang, and the MIDI host in the build:
#   cmake -DCMAKE_CXX_COMPILER=clang++ -DCORVENA_BUILD_FUZZERS=ON ...
#   ./fuzz/corvena_midi_parser_fuzzer -max_total_time=60
# The CI-run counterpart is the MidiParserFuzz suite in tests/app/host.
if(CORVENA_BUILD_FUZZERS AND CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND TARGET corvena_midi
   AND TARGET corvena_engine)
    add_executable(corvena_midi_parser_fuzzer
        ${CMAKE_CURRENT_LIST_DIR}/MidiParserFuzzer.cpp
        ${PROJECT_SOURCE_DIR}/app/host/MIDIInput.cpp
        ${PROJECT_SOURCE_DIR}/app/host/MIDIObject.cpp
        ${PROJECT_SOURCE_DIR}/app/host/DspPointer.cpp
        ${PROJECT_SOURCE_DIR}/platform/midi/MidiPacketList.cpp)
    target_include_directories(corvena_midi_parser_fuzzer PRIVATE ${PROJECT_SOURCE_DIR}/app/host)
    target_compile_options(corvena_midi_parser_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(corvena_midi_parser_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(corvena_midi_parser_fuzzer PRIVATE corvena_midi corvena_engine)
endif()
