// The factory presets as LV2 hosts see them, through lilv: the bundle lists every preset of the
// bank under its label, each loads with lilv_state_new_from_world and, applied with
// lilv_state_emit_port_values, sets every control to the bank's value and plays in the level
// window; and a host's save and restore of the instance (lilv_state_new_from_instance,
// lilv_state_save, lilv_state_new_from_file) gives back an equal state.
#include "FactoryPresets.h"
#include "LilvTestHost.h"
#include "ScratchDirectory.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>
#include <lv2/presets/presets.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t rate = 44100;
constexpr uint32_t block = 256;

double dbfs(double level) {
    return 20.0 * std::log10(std::max(level, 1e-12));
}

struct Listed {
    std::string uri, label;
};

class PluginPresetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(host.plugin(), nullptr)
            << "no " << LilvTestHost::pluginUri << " in " << host.bundle();
    }

    // What a host's preset menu shows: the plugin's related pset:Preset resources, each loaded.
    std::vector<Listed> listed() {
        std::vector<Listed> result;
        LilvWorld* world = host.world();
        LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
        LilvNode* labelPredicate = lilv_new_uri(world, LILV_NS_RDFS "label");
        LilvNodes* presets = lilv_plugin_get_related(host.plugin(), presetClass);
        LILV_FOREACH(nodes, i, presets) {
            const LilvNode* preset = lilv_nodes_get(presets, i);
            lilv_world_load_resource(world, preset);
            LilvNode* label = lilv_world_get(world, preset, labelPredicate, nullptr);
            result.push_back({lilv_node_as_uri(preset), label ? lilv_node_as_string(label) : ""});
            lilv_node_free(label);
        }
        lilv_nodes_free(presets);
        lilv_node_free(labelPredicate);
        lilv_node_free(presetClass);
        return result;
    }

    LilvState* load(const std::string& uri) {
        LilvNode* node = lilv_new_uri(host.world(), uri.c_str());
        LilvState* state = lilv_state_new_from_world(host.world(), host.uridMapFeature(), node);
        lilv_node_free(node);
        return state;
    }

    // Five seconds from a fresh instance with the preset applied: a tenth of a second for the
    // controls to settle, then `notes` held for two seconds and three of release and tail.
    std::vector<float> play(const LilvState* preset, const std::vector<int>& notes, int velocity,
                            double& heldRms) {
        auto instance = host.instantiate(rate);
        EXPECT_NE(instance, nullptr);
        if (instance == nullptr)
            return {};
        instance->applyState(preset);
        instance->runBlocks(rate / 10, block);
        const size_t onset = instance->left.size();
        for (int note : notes)
            instance->queueMidi(0, {0x90, uint8_t(note), uint8_t(velocity)});
        instance->runBlocks(2 * rate, block);
        for (int note : notes)
            instance->queueMidi(0, {0x80, uint8_t(note), 0});
        instance->runBlocks(3 * rate, block);
        heldRms = 0.0;
        const size_t window = rate / 10;
        for (size_t from = onset; from + window <= onset + 2 * rate; from += window / 2)
            heldRms = std::max({heldRms, analysis::rms(instance->left, from, from + window),
                                analysis::rms(instance->right, from, from + window)});
        std::vector<float> both = instance->left;
        both.insert(both.end(), instance->right.begin(), instance->right.end());
        return both;
    }

    LilvTestHost host{LilvTestHost::bundleUnderTest()};
};

TEST_F(PluginPresetTest, TheBundleListsEveryFactoryPresetByItsLabel) {
    std::multiset<std::string> expected, shown;
    for (size_t i = 0; i < FactoryPresets::count(); ++i)
        expected.insert(FactoryPresets::label(FactoryPresets::at(i)));
    for (const Listed& preset : listed())
        shown.insert(preset.label);
    EXPECT_EQ(shown, expected);
}

TEST_F(PluginPresetTest, EveryPresetSetsEveryControlToTheBanksValueAndPlaysInTheWindow) {
    std::string error;
    for (const Listed& listing : listed()) {
        SCOPED_TRACE(listing.label);
        const FactoryPreset* preset = FactoryPresets::find(listing.label, error);
        ASSERT_NE(preset, nullptr) << error;
        LilvState* state = load(listing.uri);
        ASSERT_NE(state, nullptr);

        auto instance = host.instantiate(rate);
        ASSERT_NE(instance, nullptr);
        int controls = 0;
        for (ParameterType type = ParameterTypeNone + 1; type < ParameterTypeCount; ++type) {
            ParameterDescription d;
            if (!DspGetParameterDescription(type, &d) || !FactoryPresets::covers(type))
                continue;
            ++controls;
            // Away from the preset's value first: the preset has to set it.
            instance->setControl(d.symbol,
                                 float(d.maxValue + d.minValue) - instance->control(d.symbol));
        }
        EXPECT_EQ(instance->applyState(state), controls);
        for (ParameterType type = ParameterTypeNone + 1; type < ParameterTypeCount; ++type) {
            ParameterDescription d;
            if (DspGetParameterDescription(type, &d) && FactoryPresets::covers(type)) {
                EXPECT_EQ(instance->control(d.symbol), float(FactoryPresets::value(*preset, type)))
                    << d.symbol;
            }
        }

        double rms = 0.0, unused = 0.0;
        const std::vector<float> triad = play(state, {60, 64, 67}, 100, rms);
        const std::vector<float> full = play(state, {41, 48, 55, 60, 64, 69, 71, 74}, 127, unused);
        lilv_state_free(state);
        ASSERT_FALSE(triad.empty());
        EXPECT_TRUE(
            std::all_of(triad.begin(), triad.end(), [](float x) { return std::isfinite(x); }));
        const double peak = dbfs(analysis::peak(triad, 0, triad.size()));
        EXPECT_GE(dbfs(rms), -40.0);
        EXPECT_GE(peak, -20.0);
        EXPECT_LE(peak, -3.0);
        // Init is the engine's defaults, whose level lets this chord reach +0.5 dBFS.
        if (!preset->controls.engineDefaults) {
            EXPECT_LE(dbfs(analysis::peak(full, 0, full.size())), 0.0);
        }
    }
}

TEST_F(PluginPresetTest, AHostsSaveAndRestoreOfAPresetGivesAnEqualState) {
    ScratchDirectory scratch;
    int saved = 0;
    for (const Listed& listing : listed()) {
        SCOPED_TRACE(listing.label);
        LilvState* preset = load(listing.uri);
        ASSERT_NE(preset, nullptr);
        auto instance = host.instantiate(rate);
        ASSERT_NE(instance, nullptr);
        instance->applyState(preset);
        instance->runBlocks(block, block);
        LilvState* state = instance->saveState();
        ASSERT_NE(state, nullptr);
        const std::string name = "state-" + std::to_string(saved++) + ".ttl";
        ASSERT_EQ(lilv_state_save(host.world(), host.uridMapFeature(), host.uridUnmapFeature(),
                                  state, nullptr, scratch.directory.c_str(), name.c_str()),
                  0);
        LilvState* restored = lilv_state_new_from_file(host.world(), host.uridMapFeature(), nullptr,
                                                       scratch.path(name).c_str());
        ASSERT_NE(restored, nullptr);
        EXPECT_TRUE(lilv_state_equals(state, restored));

        // The restored state, applied to a fresh instance, sets what the preset set.
        auto second = host.instantiate(rate);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second->applyState(restored), instance->applyState(preset));
        for (ParameterType type = ParameterTypeNone + 1; type < ParameterTypeCount; ++type) {
            ParameterDescription d;
            if (DspGetParameterDescription(type, &d) && FactoryPresets::covers(type)) {
                EXPECT_EQ(second->control(d.symbol), instance->control(d.symbol)) << d.symbol;
            }
        }
        lilv_state_free(restored);
        lilv_state_free(state);
        lilv_state_free(preset);
    }
    EXPECT_EQ(size_t(saved), FactoryPresets::count());
}

} // namespace
