#include "JackRecorder.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

JackRecorder::~JackRecorder() {
    close();
}

void JackRecorder::close() {
    if (client != nullptr) {
        jack_deactivate(client);
        jack_client_close(client);
        client = nullptr;
    }
}

bool JackRecorder::open(const char* clientName) {
    jack_status_t status{};
    client = jack_client_open(clientName, JackNoStartServer, &status);
    if (client == nullptr)
        return false;
    inputs[0] = jack_port_register(client, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    inputs[1] = jack_port_register(client, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, &JackRecorder::process, this);
    jack_set_xrun_callback(client, &JackRecorder::onXrun, this);
    return inputs[0] != nullptr && inputs[1] != nullptr && jack_activate(client) == 0;
}

std::vector<std::string> JackRecorder::outputPortsOf(const std::string& clientName) const {
    std::vector<std::string> names;
    const std::string pattern = "^" + clientName + ":";
    const char** ports = jack_get_ports(client, pattern.c_str(), nullptr, JackPortIsOutput);
    for (size_t i = 0; ports != nullptr && ports[i] != nullptr; ++i)
        names.emplace_back(ports[i]);
    if (ports != nullptr)
        jack_free(ports);
    return names;
}

bool JackRecorder::waitUntilNoCorvenaClient(double timeoutSeconds) const {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        const char** ports = jack_get_ports(client, "^Corvena( MIDI)?:", nullptr, 0);
        const bool any = ports != nullptr && ports[0] != nullptr;
        if (ports != nullptr)
            jack_free(ports);
        if (!any)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// A connection that already exists counts as made, so callers may retry until a client that
// registered its ports has also activated them (JACK refuses connections to inactive clients).
bool JackRecorder::connectFrom(const std::string& leftPort, const std::string& rightPort) {
    return connectPorts(leftPort, jack_port_name(inputs[0])) &&
           connectPorts(rightPort, jack_port_name(inputs[1]));
}

bool JackRecorder::connectPorts(const std::string& source, const std::string& destination) {
    const int result = jack_connect(client, source.c_str(), destination.c_str());
    return result == 0 || result == EEXIST;
}

int JackRecorder::process(jack_nframes_t frames, void* context) {
    auto* self = static_cast<JackRecorder*>(context);
    if (!self->armed.load(std::memory_order_acquire))
        return 0;
    const size_t done = self->written.load(std::memory_order_relaxed);
    if (done >= self->capacity)
        return 0;
    if (done == 0)
        self->firstFrameTime = jack_last_frame_time(self->client);
    const size_t count = std::min<size_t>(frames, self->capacity - done);
    const auto* l = static_cast<const float*>(jack_port_get_buffer(self->inputs[0], frames));
    const auto* r = static_cast<const float*>(jack_port_get_buffer(self->inputs[1], frames));
    std::memcpy(self->left.data() + done, l, count * sizeof(float));
    std::memcpy(self->right.data() + done, r, count * sizeof(float));
    self->written.store(done + count, std::memory_order_release);
    return 0;
}

int JackRecorder::onXrun(void* context) {
    static_cast<JackRecorder*>(context)->xruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
}
