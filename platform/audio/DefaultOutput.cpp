#include "DefaultOutput.h"

#include "DeviceStream.h"
#include "JackStream.h"
#include "PipeWireStream.h"

namespace {

const std::string nothingPlaying;

} // namespace

DefaultOutput::DefaultOutput(OutputUnit* owner) : unit(owner) {}

DefaultOutput::~DefaultOutput() {
    stop();
}

OutputDevice::StartResult DefaultOutput::start(std::string& error) {
    std::string reasons;
    bool anyRefused = false;
    auto tryDevice = [&](std::unique_ptr<OutputDevice> candidate) {
        std::string why;
        const StartResult result = candidate->start(why);
        if (result == StartResult::started) {
            device = std::move(candidate);
            return true;
        }
        anyRefused |= result == StartResult::streamFailed;
        reasons += (reasons.empty() ? "" : "; ") + why;
        return false;
    };
    if (tryDevice(std::make_unique<PipeWireStream>(unit)) ||
        tryDevice(std::make_unique<JackStream>(unit)) ||
        tryDevice(std::make_unique<DeviceStream>(unit)))
        return StartResult::started;
    error = (anyRefused ? "cannot open the audio output: " : "no audio output device found: ") +
            reasons;
    return anyRefused ? StartResult::streamFailed : StartResult::noDevice;
}

void DefaultOutput::stop() {
    if (device)
        device->stop();
    device.reset();
}

const std::string& DefaultOutput::description() const {
    return device ? device->description() : nothingPlaying;
}

uint64_t DefaultOutput::xrunCount() const {
    return device ? device->xrunCount() : 0;
}

bool DefaultOutput::interrupted() const {
    return device && device->interrupted();
}
