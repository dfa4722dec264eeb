// A small VST3 host for tests, on the VST3 interface DPF ships (travesty, a C rendering of the
// SDK's COM interfaces): it loads a .vst3 bundle's module, reads its factory's classes, creates
// the audio component and its processor, and processes blocks of 32-bit stereo with note and
// MIDI-data events at chosen frames, as a host's audio thread does. Answers are the plugin's;
// the host checks nothing beyond what it needs to go on.
#pragma once

#include "Vst3HostLists.h"
#include "travesty/audio_processor.h"
#include "travesty/bstream.h"
#include "travesty/component.h"
#include "travesty/edit_controller.h"
#include "travesty/events.h"
#include "travesty/factory.h"
#include "travesty/host.h"
#include "travesty/view.h"

#include <cstdint>
#include <string>
#include <vector>

class Vst3TestHost {
public:
    // Loads <bundle>/Contents/x86_64-linux/<name>.so and calls its ModuleEntry.
    explicit Vst3TestHost(const std::string& bundle);
    ~Vst3TestHost();
    Vst3TestHost(const Vst3TestHost&) = delete;
    Vst3TestHost& operator=(const Vst3TestHost&) = delete;

    const std::string& error() const { return problem; }
    v3_plugin_factory** factory() const { return pluginFactory; }
    // Every class the factory offers, with its VST3 sub-categories ("Instrument|Synth|...").
    struct ClassInfo {
        v3_tuid id;
        std::string category, name, subCategories;
    };
    std::vector<ClassInfo> classes() const;

    class Instance;

private:
    std::string problem;
    void* library = nullptr;
    v3_plugin_factory** pluginFactory = nullptr;
};

class Vst3TestHost::Instance {
public:
    // The "Audio Module Class" component, initialised; component() is null when that fails.
    explicit Instance(const Vst3TestHost& host);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    v3_component** component() const { return comp; }
    v3_audio_processor** processor() const { return proc; }

    bool start(double rate, int32_t maxBlockFrames);
    void stop();
    uint32_t latency() const;

    void queueNoteOn(int32_t frame, int16_t pitch, float velocity);
    void queueNoteOff(int32_t frame, int16_t pitch);
    // Any event as the host's list holds it, spoiled ones included.
    void queueEvent(const v3_event& event) { inputEvents.events.push_back(event); }
    // A point of parameter `id`'s automation in the next block (normalised value).
    void queueParameter(v3_param_id id, int32_t frame, double value) {
        inputParams.add(id, frame, value);
    }
    // Runs one block of `frames` and appends the outputs to left and right.
    v3_result process(int32_t frames);
    // The bytes the component writes when the host saves it (get_state); empty on failure.
    std::string savedState() const;

    std::vector<float> left, right;

    // The editor as a host embeds it: created from the component's edit controller, attached to
    // `parentWindow` (X11) with a frame that offers the host's run loop, sized. False at the
    // first step the plugin refuses. Idling runs the timer the editor registered (false when it
    // has none); closing detaches and releases it.
    // A `scale` above 0 is the host's content scale, given before anything else; the size the
    // editor asks for before it is attached goes to `sizeBeforeAttaching` when given.
    bool openEditor(unsigned long parentWindow, int32_t* width, int32_t* height, float scale = 0.0f,
                    v3_view_rect* sizeBeforeAttaching = nullptr);
    bool idleEditor();
    bool editorTimerRegistered() const { return editorTimer != nullptr; }
    void closeEditor();

private:
    // The host application the component is initialised with, and the editor's frame and run
    // loop: COM objects whose first member is their interface table, owned by the host.
    struct HostApplication {
        const v3_host_application_cpp* table;
    };
    struct Frame {
        const v3_plugin_frame_cpp* table;
        Instance* owner;
    };
    struct RunLoop {
        const v3_run_loop_cpp* table;
        Instance* owner;
    };
    static const v3_host_application_cpp hostApplicationTable;
    static const v3_plugin_frame_cpp frameTable;
    static const v3_run_loop_cpp runLoopTable;
    HostApplication hostApplication{&hostApplicationTable};
    Frame frame{&frameTable, this};
    RunLoop runLoop{&runLoopTable, this};
    v3_plugin_view** editor = nullptr;
    v3_timer_handler** editorTimer = nullptr;

    // Where the plugin reports parameter changes back: this host takes them and drops them.
    struct ParamChanges {
        const v3_param_changes_cpp* table;
    };
    struct ParamQueue {
        const v3_param_value_queue_cpp* table;
    };
    static const v3_param_changes_cpp paramChangesTable;
    static const v3_param_value_queue_cpp paramQueueTable;
    static ParamQueue droppedQueue;
    // A stream in memory, written from the start, for get_state (travesty has no C++ table for
    // streams).
    struct StreamTable : v3_funknown {
        v3_bstream stream;
    };
    struct MemoryStream {
        const StreamTable* table;
        std::string bytes;
    };
    static const StreamTable memoryStreamTable;

    v3_component** comp = nullptr;
    v3_audio_processor** proc = nullptr;
    bool processing = false;
    Vst3HostEvents inputEvents;
    ParamChanges outputParams{&paramChangesTable};
    Vst3HostParameters inputParams;
    std::vector<float> leftBlock, rightBlock;
};
