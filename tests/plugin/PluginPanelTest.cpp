// The plugin window's behaviour without a window: what a host hears from a drag, a wheel notch
// and a key, what a host's value does to a knob, and that closing ends every note and gesture.
#include "PluginPanel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

struct Recorder : PluginPanel::Listener {
    std::vector<std::string> calls;
    std::vector<double> values;
    std::vector<toolkit::Rect> areas;
    void gestureBegan(ParameterType p) override { calls.push_back("begin " + std::to_string(p)); }
    void valueEdited(ParameterType p, double v) override {
        calls.push_back("value " + std::to_string(p));
        values.push_back(v);
    }
    void gestureEnded(ParameterType p) override { calls.push_back("end " + std::to_string(p)); }
    void noteOn(int note, int velocity) override {
        calls.push_back("on " + std::to_string(note) + " " + std::to_string(velocity));
    }
    void noteOff(int note) override { calls.push_back("off " + std::to_string(note)); }
    void invalidate(toolkit::Rect area) override { areas.push_back(area); }
};

int knobOf(const PluginPanel& panel, ParameterType parameter) {
    for (int i = 0; i < panel.knobCount(); ++i)
        if (panel.knob(i).parameter == parameter)
            return i;
    return -1;
}

toolkit::Point centre(toolkit::Rect r) {
    return toolkit::Point{r.minX() + r.width() / 2, r.minY() + r.height() / 2};
}

TEST(PluginPanel, DraggingAKnobUpIsOneGestureOfRisingValuesInTheParametersUnit) {
    Recorder host;
    PluginPanel panel(host);
    const int cutoff = knobOf(panel, ParameterTypeLpfCutoffFrequency);
    ASSERT_GE(cutoff, 0);
    ParameterDescription row{};
    DspGetParameterDescription(ParameterTypeLpfCutoffFrequency, &row);
    panel.setHostValue(ParameterTypeLpfCutoffFrequency, row.minValue);
    const toolkit::Point p = centre(panel.knob(cutoff).frame);
    panel.mouseDown(p);
    for (int dy = 10; dy <= 400; dy += 10)
        panel.mouseDragged(toolkit::Point{p.x, p.y + dy});
    panel.mouseUp(toolkit::Point{p.x, p.y + 400});
    ASSERT_GE(host.calls.size(), 3u);
    EXPECT_EQ(host.calls.front(), "begin " + std::to_string(ParameterTypeLpfCutoffFrequency));
    EXPECT_EQ(host.calls.back(), "end " + std::to_string(ParameterTypeLpfCutoffFrequency));
    for (size_t i = 1; i < host.values.size(); ++i)
        EXPECT_GT(host.values[i], host.values[i - 1]);
    // Past the band's top the knob sits at the top of the travel: the table's maximum.
    EXPECT_NEAR(host.values.back(), row.maxValue, 1e-6 * row.maxValue);
    EXPECT_DOUBLE_EQ(panel.knobValue(cutoff), 1.0);
}

TEST(PluginPanel, AWheelNotchIsAGestureOfOnePositionAndNothingPastTheEnd) {
    Recorder host;
    PluginPanel panel(host);
    const int output = knobOf(panel, ParameterTypeMasterOutputLevel);
    panel.setHostValue(ParameterTypeMasterOutputLevel,
                       DspGetScaledValue(ParameterTypeMasterOutputLevel, 0.99));
    const toolkit::Point p = centre(panel.knob(output).frame);
    panel.scroll(p, 1.0);
    EXPECT_EQ(host.calls.size(), 3u);
    EXPECT_DOUBLE_EQ(panel.knobValue(output), 1.0);
    host.calls.clear();
    panel.scroll(p, 1.0);
    EXPECT_TRUE(host.calls.empty());
    // Half notches add up.
    panel.scroll(p, -0.5);
    EXPECT_TRUE(host.calls.empty());
    panel.scroll(p, -0.5);
    EXPECT_EQ(host.calls.size(), 3u);
    EXPECT_NEAR(panel.knobValue(output), 98.0 / 99.0, 1e-12); // hundred positions: steps of 1/99
}

TEST(PluginPanel, HostValuesMoveTheKnobsAndRedrawOnlyTheirRow) {
    Recorder host;
    PluginPanel panel(host);
    const int waveform = knobOf(panel, ParameterTypeOscillatorWaveform);
    host.areas.clear();
    panel.setHostValue(ParameterTypeOscillatorWaveform, 5.0); // noise: the last picture
    EXPECT_DOUBLE_EQ(panel.knobValue(waveform), 1.0);
    ASSERT_EQ(host.areas.size(), 1u);
    EXPECT_LE(host.areas[0].height(), 100.0);
    EXPECT_GE(host.areas[0].minY(), PanelLayout::keyboardFrame().maxY());
    host.areas.clear();
    panel.setHostValue(ParameterTypeOscillatorWaveform, 5.0); // no change, no redraw
    panel.setHostValue(ParameterTypeOscillatorWaveform, std::nan(""));
    panel.setHostValue(ParameterTypeNone, 1.0);
    EXPECT_TRUE(host.areas.empty());
    EXPECT_TRUE(host.calls.empty()) << "a host's value is never sent back";
}

TEST(PluginPanel, TheLowestKeyPlaysMiddleCAndClosingReleasesWhatIsHeld) {
    Recorder host;
    PluginPanel panel(host);
    panel.mouseDown(toolkit::Point{2.0, 2.0});
    EXPECT_TRUE(panel.keyPressed(0));
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0], "on 60 100");
    // Sliding on to the next white key ends C and plays D.
    const auto keys = panel.keyboard().keys();
    panel.mouseDragged(toolkit::Point{keys[1].frame.minX() + 2.0, 2.0});
    EXPECT_EQ(host.calls[1], "off 60");
    EXPECT_EQ(host.calls[2], "on 62 100");
    panel.releaseEverything();
    EXPECT_EQ(host.calls.back(), "off 62");
    EXPECT_FALSE(panel.keyPressed(2));
    panel.releaseEverything();
    EXPECT_EQ(host.calls.size(), 4u);
}

TEST(PluginPanel, TheReadoutNamesTheKnobUnderThePointerAsTheProgramDoes) {
    Recorder host;
    PluginPanel panel(host);
    EXPECT_FALSE(panel.readoutKnob().has_value());
    const int waveform = knobOf(panel, ParameterTypeOscillatorWaveform);
    panel.setHostValue(ParameterTypeOscillatorWaveform, 2.0);
    panel.mouseMoved(centre(panel.knob(waveform).frame));
    EXPECT_EQ(panel.readoutText(), "Oscillator Waveform Sawtooth");
    const toolkit::Rect r = panel.readoutFrame(200.0, 16.0);
    EXPECT_GE(r.minX(), 0.0); // pushed inwards at the panel's left edge
    EXPECT_DOUBLE_EQ(r.maxY(), panel.knob(waveform).frame.minY());
    // A drag that closes with the window still ends its gesture.
    panel.mouseDown(centre(panel.knob(waveform).frame));
    panel.releaseEverything();
    EXPECT_EQ(host.calls.back(), "end " + std::to_string(ParameterTypeOscillatorWaveform));
    panel.mouseMoved(toolkit::Point{470.0, 350.0});
    EXPECT_FALSE(panel.readoutKnob().has_value());
}

} // namespace
