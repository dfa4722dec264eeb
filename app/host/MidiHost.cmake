# MIDI host: the MIDI object (ports and connections) and the parser of incoming MIDI.
target_sources(corvena_host PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MIDIObject.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MIDIInput.cpp)
target_link_libraries(corvena_host PUBLIC corvena_midi)
