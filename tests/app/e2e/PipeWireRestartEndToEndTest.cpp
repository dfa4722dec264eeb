// The application end to end through a PipeWire daemon that goes away under it and comes back,
// as `systemctl --user restart pipewire` does on a desktop: a daemon of the test's own in a
// runtime directory of its own (the shared test session stays untouched), the real start-up in
// this process. While the daemon is gone the panel says the sound stopped; once a daemon runs
// again the notice goes and the program's stream is there again, made anew, without the program
// being restarted.
#include "AppDelegate.h"
#include "AudioUnitWrapper.h"
#include "ChildProcess.h"
#include "MainLoop.h"
#include "MidiServices.h"
#include "OutputUnitServices.h"
#include "ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using mainloop::pumpFor;
using mainloop::pumpUntil;

// True when the daemon of the runtime directory in the environment lists a node named
// "Corvena", asked through pw-cli as a user would.
bool daemonListsCorvena() {
    FILE* listing = popen("pw-cli ls Node 2>/dev/null", "r");
    if (listing == nullptr)
        return false;
    std::string text;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, listing) != nullptr)
        text += chunk;
    pclose(listing);
    return text.find("node.name = \"Corvena\"") != std::string::npos;
}

std::unique_ptr<ChildProcess> startDaemon(const ScratchDirectory& scratch, const char* log) {
    auto daemon =
        std::make_unique<ChildProcess>(std::vector<std::string>{"pipewire"}, scratch.path(log));
    // Up when its socket answers a client.
    pumpUntil([] { return std::system("pw-cli info 0 >/dev/null 2>&1") == 0; }, 10);
    return daemon;
}

TEST(PipeWireRestartThreads, TheNoticeShowsWhileTheDaemonIsGoneAndTheStreamIsMadeAnewAfter) {
    ScratchDirectory scratch;
    // A socket's path has room for 107 bytes: the runtime directory is a short one of its own.
    char runtimeTemplate[] = "/tmp/corvena-pw-XXXXXX";
    ASSERT_NE(mkdtemp(runtimeTemplate), nullptr);
    const std::string runtime = runtimeTemplate;
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("PIPEWIRE_RUNTIME_DIR", runtime.c_str(), 1);
    unsetenv("PIPEWIRE_REMOTE");
    unsetenv("PULSE_SERVER");
    setenv("JACK_DEFAULT_SERVER", "corvena-no-such-server", 1);

    auto daemon = startDaemon(scratch, "pipewire-1.log");
    ASSERT_TRUE(daemon->started());
    ASSERT_EQ(std::system("pw-cli info 0 >/dev/null 2>&1"), 0) << daemon->log();

    auto* delegate = new AppDelegate(); // lives until the process ends, as the program's does
    delegate->buildMainMenu();
    ASSERT_TRUE(delegate->openMainWindow());
    ASSERT_TRUE(delegate->startAudio()) << delegate->failureMessage();
    ASSERT_EQ(
        std::string(OutputUnitDeviceDescription(audioUnitWrapper.audioUnit)).rfind("PipeWire", 0),
        0u);
    MainViewController& panel = *delegate->mainViewController;
    EXPECT_TRUE(pumpUntil([] { return daemonListsCorvena(); }));

    daemon.reset(); // the daemon stops
    ASSERT_TRUE(pumpUntil([&] {
        return panel.noticeLabel() != nullptr && !panel.noticeLabel()->isHidden();
    })) << "no notice while the daemon is gone";
    EXPECT_EQ(panel.noticeLabel()->stringValue(), AppDelegate::soundStoppedNotice);
    pumpFor(1500);
    EXPECT_TRUE(OutputUnitIsInterrupted(audioUnitWrapper.audioUnit));

    daemon = startDaemon(scratch, "pipewire-2.log");
    ASSERT_TRUE(pumpUntil([&] { return panel.noticeLabel()->isHidden(); }, 15))
        << "the notice stays although a daemon runs again";
    EXPECT_FALSE(OutputUnitIsInterrupted(audioUnitWrapper.audioUnit));
    EXPECT_TRUE(pumpUntil([] { return daemonListsCorvena(); }))
        << "the stream was not made anew on the new daemon";

    AudioOutputUnitStop(audioUnitWrapper.audioUnit);
    daemon.reset();
    std::filesystem::remove_all(runtime);
}

} // namespace
