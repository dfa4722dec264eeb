# Audio host: the output unit wrapper, the engine handle and the parameter callback.
target_sources(corvena_host PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/AudioUnitWrapper.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DspPointer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ParameterCallback.cpp)
target_link_libraries(corvena_host PUBLIC corvena_outputdevices PRIVATE corvena_resources)
