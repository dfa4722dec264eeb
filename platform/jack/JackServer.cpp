#include "JackServer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// Quiet while this thread probes for a server: the audio and the MIDI side probe at once, each
// from its own thread, while they wait for a server that went away to come back.
thread_local bool probing = false;

void silentJackMessage(const char*) {}
void jackErrorToStderr(const char* message) {
    if (!probing)
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
    // libjack keeps one handler for the whole process: set once, before any client exists.
    static std::once_flag handlers;
    std::call_once(handlers, [] {
        jack_set_error_function(jackErrorToStderr);
        jack_set_info_function(silentJackMessage);
    });
    probing = true;
    jack_status_t status{};
    jack_client_t* client = jack_client_open(clientName, JackNoStartServer, &status);
    probing = false;
    return client;
}
