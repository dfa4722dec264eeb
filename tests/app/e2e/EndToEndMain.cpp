// The end-to-end tests' entry point. The program under test leaves with its JACK and PipeWire
// clients open and its audio and MIDI threads running, and so does a test process: it ends as
// the program does, without the static destructors, which would tear the client libraries'
// shared state down under threads still using it and leave the server a client that neither
// answers nor goes away for a while.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(result);
}
