// A JACK server of a test's own, on the dummy driver (at 44100 Hz unless told), so a test may
// change its buffer size, freeze it or stop it without disturbing the shared test server; stopped
// when the object goes.
//
// The name is the shared server's (JACK_DEFAULT_SERVER, so two checkouts testing side by side
// stay apart) and the test's tag, the same on every run: jackd keeps a machine-wide table of
// eight servers and frees a dead server's entry only for a new server of the same name.
#pragma once

#include <memory>
#include <string>
#include <sys/types.h>

class PrivateJackServer {
public:
    // Starts `jackd -n <shared name>-<tag> -d dummy -r <rateHz> -p <periodFrames>` and waits
    // (at most five seconds) until it answers.
    PrivateJackServer(const std::string& tag, unsigned periodFrames, unsigned rateHz = 44100);
    // A server of exactly this name: the one a test stopped, started again.
    static std::unique_ptr<PrivateJackServer> named(const std::string& name, unsigned periodFrames,
                                                    unsigned rateHz);
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
    // SIGTERM, as to a server that goes away under its clients, and waits (at most fifteen
    // seconds) for it to end and give up its entry. The destructor first waits for the clients
    // to leave.
    void stop();

private:
    struct Exactly {};
    PrivateJackServer(Exactly, const std::string& name, unsigned periodFrames, unsigned rateHz);
    bool onlyItsOwnPortsLeft() const;

    std::string serverName;
    pid_t pid = -1;
};
