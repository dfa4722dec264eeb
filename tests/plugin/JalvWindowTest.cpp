// The plugin's own window in two real hosts, jalv.gtk3 (GTK) and jalv.qt5 (Qt 5), on an Xvfb
// display of the test's own and the JACK server JACK_DEFAULT_SERVER names: the host embeds the
// window at the panel's size; a screenshot of it matches the program's panel drawn by the
// program's own code on the same display; a click on the lowest key sounds middle C at the
// host's ports; a drag down the cutoff knob darkens a sawtooth held from a JACK keyboard; the
// host is still running after all of it. Fails, never skips, without Xvfb, jalv or a server.
#include "ChildProcess.h"
#include "JackRecorder.h"
#include "JackTestKeyboard.h"
#include "MainViewController.h"
#include "Polling.h"
#include "SignalAnalysis.h"
#include "TestHostWindow.h"
#include "XvfbDisplay.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// After gtest and Qt, whose names Xlib's macros (None, Bool) would otherwise replace.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using namespace std::chrono_literals;

double noteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

struct Found {
    Window window = 0;
    int x = 0, y = 0; // on the root window
};

// The deepest mapped window of the panel's size: the plugin's own, inside the host's.
void findPanelWindow(Display* x, Window window, int depth, int* bestDepth, Found* found) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(x, window, &attributes) && attributes.map_state == IsViewable &&
        attributes.width == 480 && attributes.height == 360 && depth > *bestDepth) {
        *bestDepth = depth;
        found->window = window;
        Window child = 0;
        XTranslateCoordinates(x, window, DefaultRootWindow(x), 0, 0, &found->x, &found->y, &child);
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x, window, &root, &parent, &children, &count))
        return;
    for (unsigned i = 0; i < count; ++i)
        findPanelWindow(x, children[i], depth + 1, bestDepth, found);
    if (children != nullptr)
        XFree(children);
}

// Xlib's own handler ends the process on any error, leaving the host and the display running;
// a window that moves or goes between finding it and grabbing it is an error to try again on.
bool xErrorSeen = false;

int noteXError(Display*, XErrorEvent*) {
    xErrorSeen = true;
    return 0;
}

// The panel where it is now (hosts may still move their window), or a null image.
QImage grabPanel(Display* x, Found& panel) {
    int depth = -1;
    Found now;
    findPanelWindow(x, DefaultRootWindow(x), 0, &depth, &now);
    if (now.window == 0)
        return QImage();
    panel = now;
    xErrorSeen = false;
    XImage* image =
        XGetImage(x, DefaultRootWindow(x), panel.x, panel.y, 480, 360, AllPlanes, ZPixmap);
    XSync(x, False);
    if (image == nullptr || xErrorSeen) {
        if (image != nullptr)
            XDestroyImage(image);
        return QImage();
    }
    QImage out(480, 360, QImage::Format_RGB32);
    for (int py = 0; py < 360; ++py)
        for (int px = 0; px < 480; ++px)
            out.setPixel(px, py, static_cast<QRgb>(XGetPixel(image, px, py)) | 0xff000000u);
    XDestroyImage(image);
    return out;
}

QImage screenshot(Display* x, Found& panel) {
    QImage image;
    waitFor(
        [&] {
            image = grabPanel(x, panel);
            return !image.isNull();
        },
        10s);
    return image;
}

// Pointer motion straight to the plugin's window, at its own pixel coordinates.
void sendMotion(Display* x, Window window, int px, int py) {
    XEvent event{};
    event.xmotion.type = MotionNotify;
    event.xmotion.display = x;
    event.xmotion.window = window;
    event.xmotion.root = DefaultRootWindow(x);
    event.xmotion.x = px;
    event.xmotion.y = py;
    event.xmotion.state = Button1Mask;
    event.xmotion.same_screen = True;
    XSendEvent(x, window, True, PointerMotionMask | ButtonMotionMask, &event);
    XFlush(x);
}

// The program's panel, drawn by the program's own Qt code on the same display. The
// application lives no longer than the display it talks to.
QImage programPanel() {
    int argc = 1;
    char name[] = "corvena-window-test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QImage image;
    {
        MainViewController controller;
        toolkit::View* view = controller.view();
        view->show();
        QApplication::processEvents();
        image = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    return image;
}

struct Difference {
    double mean = 0.0;
    double farShare = 0.0;
};

Difference compare(const QImage& a, const QImage& b) {
    long long sum = 0, far = 0;
    for (int y = 0; y < 360; ++y)
        for (int x = 0; x < 480; ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))});
            sum += d;
            far += d > 64;
        }
    return Difference{double(sum) / (480.0 * 360.0), double(far) / (480.0 * 360.0)};
}

class JalvWindowTest : public ::testing::TestWithParam<const char*> {};

TEST_P(JalvWindowTest, ShowsThePanelPlaysItsKeysAndTurnsItsKnobs) {
    XvfbDisplay xvfb;
    ASSERT_FALSE(xvfb.name().empty()) << xvfb.error();
    setenv("DISPLAY", xvfb.name().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    Display* x = XOpenDisplay(xvfb.name().c_str());
    ASSERT_NE(x, nullptr);
    XSetErrorHandler(noteXError);

    JackRecorder recorder;
    ASSERT_TRUE(recorder.open("corvena-window-recorder")) << "no JACK server answers";
    JackTestKeyboard keyboard("corvena-window-keyboard");
    ASSERT_TRUE(keyboard.ok());
    setenv("LV2_PATH", (std::string(CORVENA_TEST_LV2_PATH) + ":/usr/lib/lv2").c_str(), 1);
    const std::string host = GetParam();
    std::string client = "corvena-window-" + std::to_string(getpid());
    // jalv.gtk3 takes jalv's options; this jalv.qt5 takes the plugin's URI alone and names its
    // JACK client after the plugin.
    std::vector<std::string> arguments{host};
    if (host == "jalv.gtk3")
        arguments.insert(arguments.end(), {"-x", "-n", client});
    else
        client = "Corvena";
    arguments.push_back("urn:corvena:synth");
    ChildProcess jalv(arguments,
                      std::string(CORVENA_TEST_LOG_DIR) + "/corvena-window-" + host + ".log");
    ASSERT_TRUE(jalv.started()) << host << " is not installed";

    Found panel;
    ASSERT_TRUE(waitFor(
        [&] {
            int depth = -1;
            panel = Found{};
            findPanelWindow(x, DefaultRootWindow(x), 0, &depth, &panel);
            return panel.window != 0 || !jalv.running();
        },
        30s))
        << jalv.log();
    ASSERT_TRUE(jalv.running()) << jalv.log();
    ASSERT_NE(panel.window, 0u) << "no 480 x 360 window: " << jalv.log();
    ASSERT_TRUE(waitFor(
        [&] {
            return recorder.connectFrom(client + ":out_left", client + ":out_right") &&
                   recorder.connectPorts(keyboard.portName(), client + ":midi_in");
        },
        10s))
        << jalv.log();
    std::this_thread::sleep_for(500ms); // the window's first frame, the server's new graph

    // The window is the program's panel, as far as two renderers of the same shapes allow.
    const QImage plugin = screenshot(x, panel);
    ASSERT_FALSE(plugin.isNull()) << "the panel could not be grabbed: " << jalv.log();
    const QImage program = programPanel();
    ASSERT_EQ(program.size(), QSize(480, 360));
    const Difference d = compare(plugin, program);
    RecordProperty("mean_difference", std::to_string(d.mean));
    EXPECT_LT(d.mean, 3.0) << "mean difference per pixel";
    EXPECT_LT(d.farShare, 0.02) << "share of pixels far apart";
    plugin.save(
        QString::fromStdString(std::string(CORVENA_TEST_LOG_DIR) + "/" + host + "-window.png"));

    const double rate = recorder.sampleRate();
    auto record = [&](double seconds, const std::function<void()>& during) {
        const auto frames = size_t(seconds * rate);
        recorder.arm(frames);
        EXPECT_TRUE(recorder.waitUntilRecorded(1, 5.0));
        during();
        EXPECT_TRUE(recorder.waitUntilRecorded(frames, 10.0 + seconds)) << jalv.log();
    };

    // A click on the lowest key: middle C at the host's ports while it is held.
    record(1.0, [&] { TestHostWindow::pressButton(x, panel.window, 10, 350, true); });
    EXPECT_EQ(qGray(screenshot(x, panel).pixel(10, 350)), 170) << "the key shows pressed";
    TestHostWindow::pressButton(x, panel.window, 10, 350, false);
    const size_t onset = analysis::firstAbove(recorder.left, 1e-3);
    ASSERT_LT(onset + size_t(0.6 * rate), recorder.left.size()) << "the click sounded nothing";
    const size_t from = onset + size_t(0.1 * rate), to = from + size_t(0.4 * rate);
    EXPECT_NEAR(analysis::frequencyByZeroCrossings(recorder.left, from, to, rate), 261.63, 0.5);
    std::this_thread::sleep_for(300ms); // the release ends the note

    // The waveform knob dragged up to its middle position, the sawtooth; the sawtooth held from
    // the keyboard; then the cutoff knob dragged down across its band.
    auto drag = [&](int fromX, int fromY, int dy) {
        TestHostWindow::pressButton(x, panel.window, fromX, fromY, true);
        for (int step = 1; step <= 20; ++step) {
            sendMotion(x, panel.window, fromX, fromY + dy * step / 20);
            std::this_thread::sleep_for(20ms);
        }
        TestHostWindow::pressButton(x, panel.window, fromX, fromY + dy, false);
        std::this_thread::sleep_for(300ms);
    };
    // The knobs' tops sit 25 points below the panel's top edge; a drag over 225 points crosses
    // a knob's whole travel, so 112 up turns the waveform knob from sine to its middle.
    drag(62, 57, -112);
    auto harmonics = [&] {
        const size_t a = size_t(0.2 * rate), b = size_t(0.7 * rate);
        std::vector<double> levels;
        for (int h = 1; h <= 10; ++h)
            levels.push_back(analysis::amplitudeAt(recorder.left, a, b, h * noteHz(60), rate));
        return levels;
    };
    keyboard.play({0x90, 60, 100});
    std::this_thread::sleep_for(200ms);
    record(0.8, [] {});
    const std::vector<double> bright = harmonics();
    drag(177, 57, 200); // cutoff, x 145..210
    record(0.8, [] {});
    const std::vector<double> dark = harmonics();
    keyboard.play({0xB0, 123, 0});
    ASSERT_GT(bright[4], 0.01 * bright[0]) << "a sawtooth has a fifth harmonic";
    for (int h = 5; h <= 10; ++h)
        EXPECT_LT(dark[h - 1], 0.5 * bright[h - 1]) << "harmonic " << h << " is not darker";
    EXPECT_TRUE(jalv.running()) << jalv.log();
    XCloseDisplay(x);
}

INSTANTIATE_TEST_SUITE_P(Hosts, JalvWindowTest, ::testing::Values("jalv.gtk3", "jalv.qt5"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(5); // gtk3, qt5
                         });

} // namespace
