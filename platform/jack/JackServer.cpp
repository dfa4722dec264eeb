#include "JackServer.h"

#include <jack/jack.h>

#include <cstdlib>
#include <cstring>

std::string JackServer::name() {
    const char* named = std::getenv("JACK_DEFAULT_SERVER");
    return named != nullptr && *named != '\0' ? named : "default";
}

bool JackServer::libraryIsPipeWires() {
    return std::strstr(jack_get_version_string(), "PipeWire") != nullptr;
}
