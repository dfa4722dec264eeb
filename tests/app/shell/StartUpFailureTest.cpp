// Start-up failures of the real program, run as a child process: without a display, without an
// audio output and without the engine's resources it ends with one line on stderr that says
// what is missing, and a non-zero status.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    bool finished = false;
    int exitCode = 0;
    QStringList errorLines;
};

Outcome runProgram(const QProcessEnvironment& environment, int timeoutMilliseconds = 15000) {
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(CORVENA_PROGRAM, {});
    Outcome outcome;
    if (!program.waitForStarted(5000))
        return outcome;
    outcome.finished = program.waitForFinished(timeoutMilliseconds);
    if (!outcome.finished) {
        program.kill();
        program.waitForFinished(5000);
        return outcome;
    }
    outcome.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    outcome.errorLines =
        QString::fromUtf8(program.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    return outcome;
}

// Exactly one line of ours, the last one, starting with `start`. Qt's offscreen platform adds
// notes of its own before it (XDG_RUNTIME_DIR, size hints), which a desktop does not print.
void expectOneMessage(const Outcome& outcome, const QString& start) {
    EXPECT_TRUE(outcome.finished);
    EXPECT_NE(outcome.exitCode, 0);
    ASSERT_FALSE(outcome.errorLines.isEmpty());
    EXPECT_TRUE(outcome.errorLines.last().startsWith(start))
        << outcome.errorLines.join("\n").toStdString();
    EXPECT_EQ(outcome.errorLines.filter(QRegularExpression("^Corvena:")).size(), 1)
        << outcome.errorLines.join("\n").toStdString();
    for (const QString& line : outcome.errorLines)
        EXPECT_FALSE(line.startsWith("ALSA lib")) << line.toStdString();
}

QProcessEnvironment withoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    return environment;
}

TEST(StartUpFailure, NoDisplayNamed) {
    const Outcome outcome = runProgram(withoutDisplay());
    expectOneMessage(outcome, "Corvena: no display: ");
    EXPECT_EQ(outcome.errorLines.size(), 1) << "nothing but our line";
}

TEST(StartUpFailure, DisplayThatDoesNotAnswer) {
    QProcessEnvironment environment = withoutDisplay();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("DISPLAY", ":7734");
    const Outcome outcome = runProgram(environment);
    expectOneMessage(outcome, "Corvena: no display: ");
    EXPECT_EQ(outcome.errorLines.size(), 1) << outcome.errorLines.join("\n").toStdString();
}

TEST(StartUpFailure, NoAudioOutput) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("JACK_DEFAULT_SERVER", "corvena-no-such-server");
    environment.insert("PULSE_SERVER", "unix:/nonexistent/corvena-no-pulse");
    const Outcome outcome = runProgram(environment, 10000);
    if (!outcome.finished)
        GTEST_SKIP() << "this machine has an audio output besides JACK and PulseAudio";
    expectOneMessage(outcome, "Corvena: audio output: ");
}

TEST(StartUpFailure, NoEngineResources) {
    if (QDir(CORVENA_INSTALLED_RESOURCES).exists())
        GTEST_SKIP() << "an installed copy's resources would be found at "
                     << CORVENA_INSTALLED_RESOURCES;
    // The engine library alone in a folder of its own, loaded ahead of the build tree's copy,
    // which has its resources beside it.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString library = folder.filePath(QFileInfo(CORVENA_ENGINE_SONAME).fileName());
    ASSERT_TRUE(QFile::copy(CORVENA_ENGINE_SONAME, library));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("LD_LIBRARY_PATH", folder.path());
    const Outcome outcome = runProgram(environment);
    expectOneMessage(outcome, "Corvena: no resource directory: looked for " + folder.path());
}

} // namespace
