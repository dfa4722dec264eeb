// Every control the plugin publishes changes what it plays somewhere in its range: a control
// that hosts show, automate and save but that changes nothing looks broken. The phrase gives
// each a chance to act: overlapping notes (portamento, legato), a note off (release, damper), a
// full bend (bend range), half sustain (decay), the delay mixed in (its times and feedback),
// under the sawtooth and the pulse (pulse width).
#include "Corvena_Core.h"
#include "LilvTestHost.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Control {
    std::string symbol;
    float minimum, maximum;
};

std::vector<Control> controlInputs(const LilvTestHost& host) {
    LilvWorld* world = host.world();
    const LilvPlugin* plugin = host.plugin();
    LilvNode* control = lilv_new_uri(world, LV2_CORE__ControlPort);
    LilvNode* input = lilv_new_uri(world, LV2_CORE__InputPort);
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    std::vector<float> minimum(ports), maximum(ports);
    lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), nullptr);
    std::vector<Control> controls;
    for (uint32_t i = 0; i < ports; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        if (lilv_port_is_a(plugin, port, control) && lilv_port_is_a(plugin, port, input))
            controls.push_back(
                {lilv_node_as_string(lilv_port_get_symbol(plugin, port)), minimum[i], maximum[i]});
    }
    lilv_node_free(control);
    lilv_node_free(input);
    return controls;
}

float waveformNamed(const char* name) {
    ParameterDescription waveform{};
    DspGetParameterDescription(ParameterTypeOscillatorWaveform, &waveform);
    for (int i = 0; i < waveform.steps; ++i)
        if (std::strcmp(waveform.valueLabels[i], name) == 0)
            return float(i);
    ADD_FAILURE() << "no waveform " << name;
    return 0.0f;
}

std::vector<float> playPhrase(LilvTestHost& host, float waveform, const std::string& symbol,
                              float value) {
    auto instance = host.instantiate(44100.0);
    EXPECT_TRUE(instance);
    if (!instance)
        return {};
    instance->setControl("waveform", waveform);
    instance->setControl("delay_mix", 0.5f);
    instance->setControl("sustain", 0.5f); // at full sustain the decay has nothing to fall to
    if (!symbol.empty())
        instance->setControl(symbol, value);
    const struct {
        uint32_t block;
        std::vector<std::vector<uint8_t>> messages;
    } phrase[] = {
        {0, {{0x90, 60, 100}}}, {20, {{0x90, 64, 100}}}, {40, {{0xE0, 0x7F, 0x7F}}},
        {60, {{0x80, 60, 0}}},  {64, {{0x90, 67, 100}}}, {100, {{0x80, 64, 0}, {0x80, 67, 0}}},
    };
    size_t next = 0;
    for (uint32_t block = 0; block < 172; ++block) {
        if (next < std::size(phrase) && phrase[next].block == block) {
            for (const auto& message : phrase[next].messages)
                instance->queueMidi(7, message);
            ++next;
        }
        instance->run(256);
    }
    std::vector<float> both = instance->left;
    both.insert(both.end(), instance->right.begin(), instance->right.end());
    return both;
}

double largestDifference(const std::vector<float>& a, const std::vector<float>& b) {
    double largest = 0.0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        largest = std::max(largest, std::fabs(double(a[i]) - double(b[i])));
    return largest;
}

} // namespace

TEST(PluginControls, EveryControlChangesTheSoundSomewhereInItsRange) {
    LilvTestHost host{LilvTestHost::bundleUnderTest()};
    ASSERT_NE(host.plugin(), nullptr);
    const std::vector<Control> controls = controlInputs(host);
    ASSERT_EQ(controls.size(), 20u);
    const float waveforms[] = {waveformNamed("Sawtooth"), waveformNamed("Pulse")};
    std::vector<float> reference[2];
    for (int w = 0; w < 2; ++w) {
        reference[w] = playPhrase(host, waveforms[w], "", 0.0f);
        ASSERT_GT(analysis::peak(reference[w], 0, reference[w].size()), 0.01);
    }
    for (const Control& control : controls) {
        double change = 0.0;
        for (int w = 0; w < 2; ++w)
            for (const float value : {control.minimum, control.maximum})
                change = std::max(
                    change, largestDifference(playPhrase(host, waveforms[w], control.symbol, value),
                                              reference[w]));
        // Beyond the rounding of a float: the control is heard, not only computed.
        EXPECT_GT(change, 1e-4) << control.symbol << " changes nothing from " << control.minimum
                                << " to " << control.maximum;
    }
}
