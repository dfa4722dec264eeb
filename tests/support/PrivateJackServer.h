// A JACK server of a test's own, on the dummy driver at 44100 Hz, so a test may change its
// buffer size, freeze it or stop it without disturbing the shared test server. Started under a
// name no other process uses; killed when the object goes.
#pragma once

#include <string>
#include <sys/types.h>

class PrivateJackServer {
public:
    // Starts `jackd -n corvena-<tag>-<pid> -d dummy -r 44100 -p <periodFrames>` and waits (at
    // most five seconds) until it answers.
    PrivateJackServer(const std::string& tag, unsigned periodFrames);
    ~PrivateJackServer();
    PrivateJackServer(const PrivateJackServer&) = delete;
    PrivateJackServer& operator=(const PrivateJackServer&) = delete;

    bool answers() const;
    const std::string& name() const { return serverName; }

    // As jack_bufsize does it, from outside.
    bool setBufferSize(unsigned frames) const;
    // SIGSTOP and SIGCONT: a server that hangs, and comes back.
    void freeze() const;
    void thaw() const;
    // SIGTERM, and waits for the server to end.
    void stop();

private:
    std::string serverName;
    pid_t pid = -1;
};
