// The device behind a default-output unit: the first audio system that runs here, tried in the
// order a Linux desktop has them — PipeWire when its daemon runs (through its own library), a
// JACK server (a real one; PipeWire's JACK library is left alone, PipeWire having had its turn),
// then PulseAudio and ALSA through RtAudio. What is started is that system's device; when none
// starts, the error names every system tried and why it refused.
#pragma once

#include "OutputDevice.h"

#include <memory>
#include <string>

struct OutputUnit;

class DefaultOutput final : public OutputDevice {
public:
    explicit DefaultOutput(OutputUnit* unit);
    ~DefaultOutput() override;

    StartResult start(std::string& error) override;
    void stop() override;
    const std::string& description() const override;
    uint64_t xrunCount() const override;
    bool interrupted() const override;

private:
    OutputUnit* unit;
    std::unique_ptr<OutputDevice> device;
};
