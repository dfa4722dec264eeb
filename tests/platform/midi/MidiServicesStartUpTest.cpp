// Start-up of the MIDI services where no MIDI service exists. A program of its own, so the
// services really start here, with this test's first call.
#include "MidiServices.h"

#include <gtest/gtest.h>

#include <string>

TEST(MidiServicesStartUp, MissingServiceIsReportedOnceOnStderr) {
    testing::internal::CaptureStderr();
    const bool alsa = MIDIServicesStart(MidiBackendChoice::alsa);
    MIDIServicesStart(MidiBackendChoice::alsa);
    const int sources = MIDIGetNumberOfSources();
    const std::string err = testing::internal::GetCapturedStderr();
    if (alsa)
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    EXPECT_EQ(sources, 0);
    EXPECT_EQ(MIDIServicesBackendName(), "none");
    const std::string line = "Corvena: MIDI is unavailable";
    ASSERT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(err.find(line, err.find(line) + 1), std::string::npos) << "said once: " << err;
    EXPECT_EQ(err.find("ALSA lib"), std::string::npos) << "the library's own noise is kept out";
}
