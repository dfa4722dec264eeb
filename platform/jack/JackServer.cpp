#include "JackServer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void silentJackMessage(const char*) {}
void jackErrorToStderr(const char* message) {
    std::fprintf(stderr, "JACK: %s\n", message);
}

} // namespace

std::string JackServer::name() {
    const char* named = std::getenv("JACK_DEFAULT_SERVER");
    return named != nullptr && *named != '\0' ? named : "default";
}

bool JackServer::libraryIsPipeWires() {
    return std::strstr(jack_get_version_string(), "PipeWire") != nullptr;
}

jack_client_t* JackServer::openClient(const char* clientName) {
    jack_set_error_function(silentJackMessage);
    jack_set_info_function(silentJackMessage);
    jack_status_t status{};
    jack_client_t* client = jack_client_open(clientName, JackNoStartServer, &status);
    jack_set_error_function(jackErrorToStderr);
    return client;
}
