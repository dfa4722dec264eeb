// The installation: `cmake --install` into a temporary prefix puts the program, the engine
// library with its resources, the desktop entry and the icon where a desktop finds them, and the
// installed program — loading the installed engine through its relative run path — starts up
// against the JACK server and shows up there as "Corvena". Skipped when no JACK server answers.
#include <jack/jack.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTextStream>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>

namespace {

const QString prefix = CORVENA_INSTALL_PREFIX;

QString installed(const QString& relative) {
    return prefix + "/" + relative;
}

QString readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

std::set<std::string> audioOutputPorts(jack_client_t* client) {
    std::set<std::string> names;
    const char** ports =
        jack_get_ports(client, "^Corvena", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    for (size_t i = 0; ports != nullptr && ports[i] != nullptr; ++i)
        names.insert(ports[i]);
    if (ports != nullptr)
        jack_free(ports);
    return names;
}

class InstalledProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QDir(prefix).removeRecursively();
        QProcess install;
        install.start(CORVENA_CMAKE_COMMAND, {"--install", CORVENA_BINARY_DIR, "--prefix", prefix});
        installedOk = install.waitForFinished(120000) && install.exitCode() == 0;
        if (!installedOk)
            installLog =
                QString::fromUtf8(install.readAllStandardError() + install.readAllStandardOutput())
                    .toStdString();
    }
    void SetUp() override { ASSERT_TRUE(installedOk) << installLog; }

    static inline bool installedOk = false;
    static inline std::string installLog;
};

TEST_F(InstalledProgram, LandsWhereALinuxDesktopFindsIt) {
    const QString bin = CORVENA_INSTALL_BINDIR, lib = CORVENA_INSTALL_LIBDIR,
                  data = CORVENA_INSTALL_DATADIR;
    EXPECT_TRUE(QFileInfo(installed(bin + "/corvena")).isExecutable());
    EXPECT_TRUE(QFileInfo::exists(installed(lib + "/libCorvena_Core.so.1")));
    EXPECT_GT(QFileInfo(installed(lib + "/corvena/Resources.bundle/data0.wt")).size(), 0);
    EXPECT_GT(QFileInfo(installed(lib + "/corvena/Resources.bundle/data1.wt")).size(), 0);

    const QString entry = readAll(installed(data + "/applications/corvena.desktop"));
    ASSERT_FALSE(entry.isEmpty());
    const QStringList lines = entry.split('\n');
    EXPECT_EQ(lines.first(), "[Desktop Entry]");
    for (const char* line : {"Type=Application", "Name=Corvena", "Exec=corvena", "Icon=corvena",
                             "Terminal=false", "Categories=AudioVideo;Audio;Midi;"})
        EXPECT_TRUE(lines.contains(line)) << line;

    const QString icon = readAll(installed(data + "/icons/hicolor/scalable/apps/corvena.svg"));
    EXPECT_TRUE(icon.contains("<svg")) << "the icon the entry names, as scalable art";
}

TEST_F(InstalledProgram, StartsAgainstJackWithTheInstalledEngine) {
    jack_client_t* probe = jack_client_open("corvena-install-probe", JackNoStartServer, nullptr);
    if (probe == nullptr)
        GTEST_SKIP() << "no JACK server answers";
    const std::set<std::string> before = audioOutputPorts(probe);

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.remove("LD_LIBRARY_PATH");
    program.setProcessEnvironment(environment);
    program.start(installed(QString(CORVENA_INSTALL_BINDIR) + "/corvena"), {});
    ASSERT_TRUE(program.waitForStarted(5000));

    std::set<std::string> added;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (added.size() < 2 && std::chrono::steady_clock::now() < deadline &&
           program.state() == QProcess::Running) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        added.clear();
        for (const std::string& port : audioOutputPorts(probe))
            if (before.count(port) == 0)
                added.insert(port);
    }
    const bool running = program.state() == QProcess::Running;
    const QString maps =
        running ? readAll(QString("/proc/%1/maps").arg(program.processId())) : QString();
    program.kill();
    program.waitForFinished(5000);
    jack_client_close(probe);

    ASSERT_TRUE(running) << program.readAllStandardError().toStdString();
    EXPECT_EQ(added.size(), 2u) << "two audio outputs of a Corvena client";
    const QString library =
        QDir(installed(CORVENA_INSTALL_LIBDIR)).canonicalPath() + "/libCorvena_Core.so";
    EXPECT_TRUE(maps.contains(library))
        << "the engine is the installed one: " << library.toStdString();
    EXPECT_FALSE(maps.contains(QString(CORVENA_BINARY_DIR) + "/lib/libCorvena_Core"));
}

} // namespace
