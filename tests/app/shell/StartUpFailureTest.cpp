// Start-up failures of the real program, run as a child process: without a display, without an
// audio output and without the engine's resources it ends with one line on stderr that says
// what is missing, and a non-zero status. Started from a terminal it stops at once; started
// without one (a desktop menu) it shows the message in a dialog too, and stops when that closes.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

namespace {

struct Outcome {
    bool finished = false;
    int exitCode = 0;
    QStringList errorLines;
};

// Everything that can be read now from a terminal's master side.
QByteArray drain(int master) {
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    }
    return bytes;
}

// Runs the program; with `terminal`, its stderr is a terminal (as when started from a shell),
// otherwise a pipe (as from a desktop menu, where nobody reads it).
Outcome runProgram(const QProcessEnvironment& environment, int timeoutMilliseconds = 15000,
                   bool terminal = true) {
    int master = -1, slave = -1;
    if (terminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return {};
    QProcess program;
    program.setProcessEnvironment(environment);
    if (terminal) {
        fcntl(master, F_SETFL, O_NONBLOCK);
        program.setChildProcessModifier([slave] { dup2(slave, STDERR_FILENO); });
    }
    program.start(CORVENA_PROGRAM, {});
    Outcome outcome;
    if (slave >= 0)
        close(slave);
    QByteArray terminalText;
    if (program.waitForStarted(5000)) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
        while (!(outcome.finished = program.waitForFinished(50)) &&
               std::chrono::steady_clock::now() < deadline)
            if (master >= 0)
                terminalText += drain(master); // a full terminal would hold the program up
        if (!outcome.finished) {
            program.kill();
            program.waitForFinished(5000);
        } else {
            outcome.exitCode =
                program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        }
    }
    if (master >= 0) {
        terminalText += drain(master);
        close(master);
    }
    const QByteArray text = terminal ? terminalText : program.readAllStandardError();
    outcome.errorLines = QString::fromUtf8(text).remove('\r').split('\n', Qt::SkipEmptyParts);
    return outcome;
}

// The environment of a machine with no sound server at all: no PipeWire daemon, no JACK server,
// no PulseAudio; ALSA's default device is all that is left, and on a machine without a sound
// card that fails too.
QProcessEnvironment withoutSoundServer() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("PIPEWIRE_RUNTIME_DIR", "/nonexistent/corvena-no-pipewire");
    environment.insert("JACK_DEFAULT_SERVER", "corvena-no-such-server");
    environment.insert("PULSE_SERVER", "unix:/nonexistent/corvena-no-pulse");
    return environment;
}

// Under the test script the machine is known to have no sound card, so the test must run.
bool runByTheTestScript() {
    return !qEnvironmentVariableIsEmpty("CORVENA_PIPEWIRE_RUNTIME_DIR");
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

TEST(StartUpFailure, NoSoundServerAtAllNamesEverySystemTriedAndExitsWithOne) {
    const Outcome outcome = runProgram(withoutSoundServer(), 10000);
    if (!outcome.finished && !runByTheTestScript())
        GTEST_SKIP() << "this machine has an ALSA output device";
    expectOneMessage(outcome, "Corvena: audio output: ");
    EXPECT_EQ(outcome.exitCode, 1);
    const QString message = outcome.errorLines.isEmpty() ? "" : outcome.errorLines.last();
    for (const char* system :
         {"PipeWire: no daemon running", "JACK: no server", "PulseAudio", "ALSA"})
        EXPECT_TRUE(message.contains(system)) << system << " in " << message.toStdString();
}

TEST(StartUpFailure, WithoutATerminalTheMessageAlsoWaitsInADialog) {
    QProcess program;
    program.setProcessEnvironment(withoutSoundServer());
    program.start(CORVENA_PROGRAM, {});
    ASSERT_TRUE(program.waitForStarted(5000));
    QByteArray printed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!printed.contains("Corvena: audio output: ") && program.state() == QProcess::Running &&
           std::chrono::steady_clock::now() < deadline) {
        program.waitForReadyRead(100);
        printed += program.readAllStandardError();
    }
    if (!printed.contains("Corvena: audio output: ") && !runByTheTestScript()) {
        program.kill();
        program.waitForFinished(5000);
        GTEST_SKIP() << "this machine has an ALSA output device";
    }
    ASSERT_TRUE(printed.contains("Corvena: audio output: ")) << printed.toStdString();
    // The line is out, and the dialog holds the program until someone closes it.
    EXPECT_FALSE(program.waitForFinished(1000)) << "no dialog: " << printed.toStdString();
    kill(pid_t(program.processId()), SIGTERM); // closes the dialog, as its button would
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1) << "the program still stops, as designed";
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
