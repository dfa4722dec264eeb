#include "CorvenaDpfPlugin.h"

#include "FactoryPresets.h"
#include "PortMap.h"

#include "DistrhoPluginUtils.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

ParameterType parameterType(uint32_t index) {
    return PortMap::parameterOf(PortMap::firstControl + index);
}

bool describe(uint32_t index, ParameterDescription* row) {
    const ParameterType type = parameterType(index);
    return type != ParameterTypeNone && DspGetParameterDescription(type, row);
}

uint32_t programCount() {
#if DISTRHO_PLUGIN_WANT_PROGRAMS
    return uint32_t(FactoryPresets::count());
#else
    return 0;
#endif
}

} // namespace

START_NAMESPACE_DISTRHO

Plugin* createPlugin() {
    return new CorvenaDpfPlugin();
}

END_NAMESPACE_DISTRHO

CorvenaDpfPlugin::CorvenaDpfPlugin()
    : Plugin(PortMap::controlCount(), programCount(), 0), parameterCount(PortMap::controlCount()),
      values(new std::atomic<float>[parameterCount]) {
    for (uint32_t i = 0; i < parameterCount; ++i) {
        ParameterDescription row{};
        values[i].store(describe(i, &row) ? float(row.defaultValue) : 0.0f);
    }
    if (!isDummyInstance())
        build(getSampleRate());
}

const char* CorvenaDpfPlugin::getDescription() const {
    return "A small polyphonic subtractive synthesizer: wavetable oscillators or noise, resonant "
           "low-pass and high-pass filters, an amplitude envelope and a stereo delay.";
}

uint32_t CorvenaDpfPlugin::getVersion() const {
    return d_version(CORVENA_VERSION_MAJOR, CORVENA_VERSION_MINOR, CORVENA_VERSION_PATCH);
}

int64_t CorvenaDpfPlugin::getUniqueId() const {
    return d_cconst('C', 'r', 'v', 'n');
}

void CorvenaDpfPlugin::initAudioPort(bool input, uint32_t index, DISTRHO::AudioPort& port) {
    if (input)
        return;
    port.groupId = DISTRHO::kPortGroupStereo;
    port.name = index == 0 ? "Left" : "Right";
    port.symbol = index == 0 ? "out_left" : "out_right";
}

void CorvenaDpfPlugin::initParameter(uint32_t index, DISTRHO::Parameter& parameter) {
    ParameterDescription row{};
    if (!describe(index, &row))
        return;
    parameter.name = row.name;
    parameter.symbol = row.symbol;
    parameter.unit = row.unit;
    parameter.ranges =
        DISTRHO::ParameterRanges(float(row.defaultValue), float(row.minValue), float(row.maxValue));
    parameter.hints = DISTRHO::kParameterIsAutomatable;
    if (PortMap::isToggle(row)) {
        parameter.hints |= DISTRHO::kParameterIsBoolean | DISTRHO::kParameterIsInteger;
    } else if (PortMap::isWholeNumbers(row)) {
        parameter.hints |= DISTRHO::kParameterIsInteger;
        if (row.valueLabels != nullptr) {
            auto* labels = new DISTRHO::ParameterEnumerationValue[row.steps];
            for (int32_t i = 0; i < row.steps; ++i)
                labels[i] =
                    DISTRHO::ParameterEnumerationValue(float(row.minValue + i), row.valueLabels[i]);
            parameter.enumValues.count = uint8_t(row.steps);
            parameter.enumValues.restrictedMode = true;
            parameter.enumValues.values = labels;
        }
    } else if (PortMap::isLogarithmic(row)) {
        parameter.hints |= DISTRHO::kParameterIsLogarithmic;
    }
}

float CorvenaDpfPlugin::getParameterValue(uint32_t index) const {
    return index < parameterCount ? values[index].load(std::memory_order_relaxed) : 0.0f;
}

void CorvenaDpfPlugin::setParameterValue(uint32_t index, float value) {
    ParameterDescription row{};
    if (index >= parameterCount || std::isnan(value) || !describe(index, &row))
        return; // NaN is no value: the last good one stays
    values[index].store(std::clamp(value, float(row.minValue), float(row.maxValue)),
                        std::memory_order_relaxed);
    if (synth)
        synth->setControl(parameterType(index), value);
}

#if DISTRHO_PLUGIN_WANT_PROGRAMS
void CorvenaDpfPlugin::initProgramName(uint32_t index, DISTRHO::String& programName) {
    if (index < FactoryPresets::count())
        programName = FactoryPresets::label(FactoryPresets::at(index)).c_str();
}

void CorvenaDpfPlugin::loadProgram(uint32_t index) {
    if (index >= FactoryPresets::count())
        return;
    const FactoryPreset& preset = FactoryPresets::at(index);
    for (uint32_t i = 0; i < parameterCount; ++i)
        if (FactoryPresets::covers(parameterType(i)))
            setParameterValue(i, float(FactoryPresets::value(preset, parameterType(i))));
}
#endif

void CorvenaDpfPlugin::deactivate() {
    if (synth)
        synth->releaseOnNextBlock();
}

void CorvenaDpfPlugin::run(const float**, float** outputs, uint32_t frames,
                           const DISTRHO::MidiEvent* midiEvents, uint32_t midiEventCount) {
    if (!synth) {
        for (uint32_t channel = 0; channel < DISTRHO_PLUGIN_NUM_OUTPUTS; ++channel)
            if (outputs[channel] != nullptr)
                std::memset(outputs[channel], 0, sizeof(float) * frames);
        return;
    }
    synth->beginBlock(frames);
    for (uint32_t i = 0; i < midiEventCount; ++i) {
        const DISTRHO::MidiEvent& event = midiEvents[i];
        const uint8_t* bytes =
            event.size > DISTRHO::MidiEvent::kDataSize ? event.dataExt : event.data;
        synth->playMidi(bytes, event.size, event.frame);
    }
    synth->render(outputs[0], outputs[1]);
}

void CorvenaDpfPlugin::sampleRateChanged(double newSampleRate) {
    if (!isDummyInstance())
        build(newSampleRate);
}

void CorvenaDpfPlugin::build(double sampleRate) {
    std::string problem;
    synth = CorvenaPlugin::create(sampleRate, getBundlePath(), &problem);
    if (!synth) {
        std::string format = DISTRHO::getPluginFormatName();
        std::transform(format.begin(), format.end(), format.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        std::fprintf(stderr, "corvena.%s: %s\n", format.c_str(), problem.c_str());
        setLatency(0);
        return;
    }
    // A rebuilt engine starts from the table's defaults: it is handed every value the host set.
    for (uint32_t i = 0; i < parameterCount; ++i)
        synth->setControl(parameterType(i), values[i].load(std::memory_order_relaxed));
    setLatency(synth->latencyFrames());
}
