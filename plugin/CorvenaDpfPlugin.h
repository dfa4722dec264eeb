// The plugin as DPF sees it: one class that DPF's wrappers turn into LV2, VST3 and CLAP. Its
// parameters are the control ports of PortMap, described from the engine's table through the C
// interface; its sound is a CorvenaPlugin, built for the host's rate from the bundle DPF names
// (getBundlePath) and built again when the host changes the rate while it is stopped.
//
// DPF makes a dummy instance to read the description (CLAP's entry, VST3's factory): that one
// builds no engine. An instance that cannot build one (tables missing, a rate out of range)
// says why once on stderr and plays silence: only LV2 can refuse an instance, and its entry
// checks the same things before DPF makes one.
#pragma once

#include "CorvenaPlugin.h"

#include "DistrhoPlugin.hpp"

#include <atomic>
#include <memory>

class CorvenaDpfPlugin : public DISTRHO::Plugin {
public:
    CorvenaDpfPlugin();

protected:
    const char* getLabel() const override { return "Corvena"; }
    const char* getDescription() const override;
    const char* getMaker() const override { return "Corvena"; }
    const char* getLicense() const override { return "GPL-3.0-or-later"; }
    uint32_t getVersion() const override;
    int64_t getUniqueId() const override;

    void initAudioPort(bool input, uint32_t index, DISTRHO::AudioPort& port) override;
    void initParameter(uint32_t index, DISTRHO::Parameter& parameter) override;

    float getParameterValue(uint32_t index) const override;
    void setParameterValue(uint32_t index, float value) override;

#if DISTRHO_PLUGIN_WANT_PROGRAMS
    // The factory bank as numbered programs: a program is a row of FactoryPresets, named by its
    // label; loading one sets every parameter the row covers, from whichever thread the host
    // calls on (the values are atomics the next block picks up).
    void initProgramName(uint32_t index, DISTRHO::String& programName) override;
    void loadProgram(uint32_t index) override;
#endif

    void activate() override {}
    void deactivate() override;
    void run(const float**, float** outputs, uint32_t frames, const DISTRHO::MidiEvent* midiEvents,
             uint32_t midiEventCount) override;
    void sampleRateChanged(double newSampleRate) override;

private:
    void build(double sampleRate);

    std::unique_ptr<CorvenaPlugin> synth;
    // The value of each parameter in its own unit, as hosts read it back: clamped to the
    // table's range, the default until set. Hosts set it on the audio thread and read it on
    // others.
    const uint32_t parameterCount;
    std::unique_ptr<std::atomic<float>[]> values;
};
