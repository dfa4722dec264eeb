// The real program as a child process, playing through a JACK server of the test's own (at
// 44100 Hz, and at 48000 Hz through the rate converter): it says at start what plays and what MIDI
// comes through, speaks up when the server stops asking for sound and again when it asks again,
// says when the server is gone, and quits cleanly on SIGTERM and SIGINT (Ctrl+C in its terminal),
// telling its xrun count once.
#include "PrivateJackServer.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

namespace {

class RunningProgram : public ::testing::Test {
protected:
    virtual unsigned serverRateHz() const { return 44100; }

    void SetUp() override {
        server = std::make_unique<PrivateJackServer>(
            std::string("program-") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name(),
            256, serverRateHz());
        if (!server->answers())
            GTEST_SKIP() << "no jackd to start a server of this test's own";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("JACK_DEFAULT_SERVER", QString::fromStdString(server->name()));
        environment.insert("JACK_NO_AUDIO_RESERVATION", "1");
        // A PipeWire daemon would be chosen first; this test is about a JACK server.
        environment.insert("PIPEWIRE_RUNTIME_DIR", "/nonexistent/corvena-jack-test");
        program.setProcessEnvironment(environment);
        program.start(CORVENA_PROGRAM, {});
        ASSERT_TRUE(program.waitForStarted(5000));
        ASSERT_TRUE(waitForLine("^Corvena: MIDI through ", 20)) << printed.toStdString();
    }

    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    // Waits until stderr has a line matching `pattern` (at most `seconds`).
    bool waitForLine(const QString& pattern, int seconds) {
        const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!expression.match(printed).hasMatch()) {
            if (std::chrono::steady_clock::now() > deadline ||
                program.state() == QProcess::NotRunning)
                return false;
            program.waitForReadyRead(100);
            printed += QString::fromUtf8(program.readAllStandardError());
        }
        return true;
    }

    int linesMatching(const QString& pattern) const {
        const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
        int count = 0;
        for (auto it = expression.globalMatch(printed); it.hasNext(); it.next())
            ++count;
        return count;
    }

    // Sends `signalNumber` and expects a clean end: status 0, the xrun count said once.
    void expectCleanQuitOn(int signalNumber) {
        kill(pid_t(program.processId()), signalNumber);
        ASSERT_TRUE(program.waitForFinished(10000)) << "the signal did not end the program";
        printed += QString::fromUtf8(program.readAllStandardError());
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << printed.toStdString();
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_EQ(linesMatching("^Corvena: \\d+ xruns? on the audio output$"), 1)
            << printed.toStdString();
    }

    std::unique_ptr<PrivateJackServer> server;
    QProcess program;
    QString printed;
};

TEST_F(RunningProgram, SaysWhatPlaysAndQuitsCleanlyOnSigterm) {
    const QString jack = QString::fromStdString(server->name());
    EXPECT_EQ(linesMatching("^Corvena: audio through JACK, server \"" + jack +
                            "\", device \"system\", 44100 Hz, 256-frame buffers \\(5\\.8 ms\\)$"),
              1)
        << printed.toStdString();
    EXPECT_EQ(linesMatching("^Corvena: MIDI through JACK \\(server \"" + jack +
                            "\"\\), \\d+ sources? connected$"),
              1)
        << printed.toStdString();
    expectCleanQuitOn(SIGTERM);
}

TEST_F(RunningProgram, QuitsCleanlyOnControlC) {
    expectCleanQuitOn(SIGINT);
}

TEST_F(RunningProgram, WatchdogSpeaksWhenTheServerHangsAndWhenItPlaysAgain) {
    server->freeze();
    EXPECT_TRUE(waitForLine("^Corvena: no sound for 2 s: JACK, server \"" +
                                QString::fromStdString(server->name()) + "\"",
                            8))
        << printed.toStdString();
    server->thaw();
    EXPECT_TRUE(waitForLine("^Corvena: sound is back: JACK", 8)) << printed.toStdString();
    EXPECT_EQ(linesMatching("no sound for 2 s"), 1) << "said once, not every tick";

    server->stop();
    EXPECT_TRUE(waitForLine("^Corvena: audio output stopped: JACK", 8)) << printed.toStdString();
    expectCleanQuitOn(SIGTERM);
}

// The usual studio rate: the program plays instead of refusing, and says at what rate the server
// runs beside its own.
class RunningProgramAt48kHz : public RunningProgram {
protected:
    unsigned serverRateHz() const override { return 48000; }
};

TEST_F(RunningProgramAt48kHz, PlaysThroughTheConverterAndNamesBothRates) {
    const QString jack = QString::fromStdString(server->name());
    EXPECT_EQ(linesMatching("^Corvena: audio through JACK, server \"" + jack +
                            "\", device \"system\", 44100 Hz \\(server at 48000 Hz\\), "
                            "256-frame buffers \\(5\\.3 ms\\)$"),
              1)
        << printed.toStdString();
    expectCleanQuitOn(SIGTERM);
}

} // namespace
