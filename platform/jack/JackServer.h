// Which JACK server libjack talks to, asked the same way by the audio and the MIDI side so that
// what the user reads about one matches the other.
#pragma once

#include <jack/jack.h>

#include <string>

class JackServer {
public:
    // The server libjack opens: $JACK_DEFAULT_SERVER when set and not empty, else "default".
    static std::string name();

    // True when the loaded libjack is PipeWire's rather than a JACK server's client library.
    static bool libraryIsPipeWires();

    // A client of the running server, or null when none runs: a server is never started, and
    // probing for one prints nothing. Afterwards JACK's errors go to stderr, prefixed "JACK: ".
    static jack_client_t* openClient(const char* clientName);
};
