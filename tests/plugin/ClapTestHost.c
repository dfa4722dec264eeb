#include "ClapTestHost.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { eventCapacity = 1024, scratchFrames = 65536 };

struct ClapTestModule {
    void* library;
    const clap_plugin_entry_t* entry;
};

typedef union QueuedEvent {
    clap_event_header_t header;
    clap_event_note_t note;
    clap_event_midi_t midi;
    clap_event_param_value_t param;
} QueuedEvent;

struct ClapTestInstance {
    ClapTestModule* module;
    clap_host_t host;
    const clap_plugin_t* plugin;
    bool active;
    bool processing;
    QueuedEvent events[eventCapacity];
    uint32_t eventCount;
    uint32_t outputEvents;
    uint32_t latencyChanges;
    float* scratch[2];
    /* The window's timer, which DPF's window asks for to run its idle calls. */
    clap_id timerId;
    bool timerRegistered;
    uint32_t timersRegistered;
};

static void hostRequest(const clap_host_t* host) {
    (void)host;
}
static void latencyChanged(const clap_host_t* host) {
    ((ClapTestInstance*)host->host_data)->latencyChanges++;
}
static void paramsRescan(const clap_host_t* host, clap_param_rescan_flags flags) {
    (void)host;
    (void)flags;
}
static void paramsClear(const clap_host_t* host, clap_id param, clap_param_clear_flags flags) {
    (void)host;
    (void)param;
    (void)flags;
}

static bool registerTimer(const clap_host_t* host, uint32_t periodMs, clap_id* timerId) {
    (void)periodMs;
    ClapTestInstance* instance = (ClapTestInstance*)host->host_data;
    if (instance->timerRegistered)
        return false; /* one window, one timer */
    instance->timerRegistered = true;
    instance->timerId = ++instance->timersRegistered;
    *timerId = instance->timerId;
    return true;
}
static bool unregisterTimer(const clap_host_t* host, clap_id timerId) {
    ClapTestInstance* instance = (ClapTestInstance*)host->host_data;
    if (!instance->timerRegistered || timerId != instance->timerId)
        return false;
    instance->timerRegistered = false;
    return true;
}
static void guiResizeHintsChanged(const clap_host_t* host) {
    (void)host;
}
static bool guiRequestResize(const clap_host_t* host, uint32_t width, uint32_t height) {
    (void)host;
    (void)width;
    (void)height;
    return true;
}
static bool guiRequest(const clap_host_t* host) {
    (void)host;
    return true;
}
static void guiClosed(const clap_host_t* host, bool wasDestroyed) {
    (void)host;
    (void)wasDestroyed;
}

/* What every real host offers: DPF's wrapper calls clap.latency's changed() without asking
 * whether the host has it. */
static const clap_host_latency_t hostLatency = {latencyChanged};
static const clap_host_params_t hostParams = {paramsRescan, paramsClear, hostRequest};
static const clap_host_timer_support_t hostTimer = {registerTimer, unregisterTimer};
static const clap_host_gui_t hostGui = {guiResizeHintsChanged, guiRequestResize, guiRequest,
                                        guiRequest, guiClosed};

static const void* hostExtension(const clap_host_t* host, const char* id) {
    (void)host;
    if (strcmp(id, CLAP_EXT_LATENCY) == 0)
        return &hostLatency;
    if (strcmp(id, CLAP_EXT_PARAMS) == 0)
        return &hostParams;
    if (strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0)
        return &hostTimer;
    if (strcmp(id, CLAP_EXT_GUI) == 0)
        return &hostGui;
    return NULL;
}

ClapTestModule* clap_test_module_open(const char* path, char* error, size_t errorSize) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        snprintf(error, errorSize, "dlopen: %s", dlerror());
        return NULL;
    }
    const clap_plugin_entry_t* entry = (const clap_plugin_entry_t*)dlsym(library, "clap_entry");
    if (entry == NULL || !clap_version_is_compatible(entry->clap_version) || !entry->init(path)) {
        snprintf(error, errorSize, "%s has no usable clap_entry", path);
        dlclose(library);
        return NULL;
    }
    ClapTestModule* module = calloc(1, sizeof *module);
    module->library = library;
    module->entry = entry;
    return module;
}

void clap_test_module_close(ClapTestModule* module) {
    if (module == NULL)
        return;
    module->entry->deinit();
    dlclose(module->library);
    free(module);
}

const clap_plugin_factory_t* clap_test_module_factory(const ClapTestModule* module) {
    return (const clap_plugin_factory_t*)module->entry->get_factory(CLAP_PLUGIN_FACTORY_ID);
}

ClapTestInstance* clap_test_instance_create(ClapTestModule* module) {
    const clap_plugin_factory_t* factory = clap_test_module_factory(module);
    if (factory == NULL || factory->get_plugin_count(factory) == 0)
        return NULL;
    ClapTestInstance* instance = calloc(1, sizeof *instance);
    instance->module = module;
    instance->host.clap_version = (clap_version_t)CLAP_VERSION_INIT;
    instance->host.host_data = instance;
    instance->host.name = "Corvena CLAP test host";
    instance->host.vendor = "Corvena";
    instance->host.url = "";
    instance->host.version = "1";
    instance->host.get_extension = hostExtension;
    instance->host.request_restart = hostRequest;
    instance->host.request_process = hostRequest;
    instance->host.request_callback = hostRequest;
    const clap_plugin_descriptor_t* descriptor = factory->get_plugin_descriptor(factory, 0);
    instance->plugin = factory->create_plugin(factory, &instance->host, descriptor->id);
    if (instance->plugin == NULL || !instance->plugin->init(instance->plugin)) {
        if (instance->plugin != NULL)
            instance->plugin->destroy(instance->plugin);
        free(instance);
        return NULL;
    }
    instance->scratch[0] = calloc(scratchFrames, sizeof(float));
    instance->scratch[1] = calloc(scratchFrames, sizeof(float));
    return instance;
}

void clap_test_instance_destroy(ClapTestInstance* instance) {
    if (instance == NULL)
        return;
    clap_test_instance_deactivate(instance);
    instance->plugin->destroy(instance->plugin);
    free(instance->scratch[0]);
    free(instance->scratch[1]);
    free(instance);
}

const clap_plugin_t* clap_test_instance_plugin(const ClapTestInstance* instance) {
    return instance->plugin;
}

const void* clap_test_instance_extension(const ClapTestInstance* instance, const char* id) {
    return instance->plugin->get_extension(instance->plugin, id);
}

bool clap_test_instance_activate(ClapTestInstance* instance, double rate, uint32_t maxFrames) {
    if (!instance->plugin->activate(instance->plugin, rate, 1, maxFrames))
        return false;
    instance->active = true;
    instance->processing = instance->plugin->start_processing(instance->plugin);
    return instance->processing;
}

void clap_test_instance_deactivate(ClapTestInstance* instance) {
    if (instance->processing)
        instance->plugin->stop_processing(instance->plugin);
    if (instance->active)
        instance->plugin->deactivate(instance->plugin);
    instance->processing = instance->active = false;
}

/* The next free slot, cleared, with its header filled in; null when the queue is full. */
static QueuedEvent* queueEvent(ClapTestInstance* instance, uint32_t frame, uint16_t type,
                               uint32_t size) {
    if (instance->eventCount == eventCapacity)
        return NULL;
    QueuedEvent* event = &instance->events[instance->eventCount++];
    memset(event, 0, sizeof *event);
    event->header.size = size;
    event->header.time = frame;
    event->header.space_id = CLAP_CORE_EVENT_SPACE_ID;
    event->header.type = type;
    return event;
}

void clap_test_instance_queue_midi(ClapTestInstance* instance, uint32_t frame, uint8_t status,
                                   uint8_t data1, uint8_t data2) {
    QueuedEvent* queued = queueEvent(instance, frame, CLAP_EVENT_MIDI, sizeof(clap_event_midi_t));
    if (queued == NULL)
        return;
    clap_event_midi_t* event = &queued->midi;
    event->port_index = 0;
    event->data[0] = status;
    event->data[1] = data1;
    event->data[2] = data2;
}

void clap_test_instance_queue_param(ClapTestInstance* instance, uint32_t frame, clap_id param,
                                    double value) {
    QueuedEvent* queued =
        queueEvent(instance, frame, CLAP_EVENT_PARAM_VALUE, sizeof(clap_event_param_value_t));
    if (queued == NULL)
        return;
    clap_event_param_value_t* event = &queued->param;
    event->param_id = param;
    event->note_id = -1;
    event->port_index = event->channel = event->key = -1;
    event->value = value;
}

void clap_test_instance_queue_note(ClapTestInstance* instance, uint32_t frame, bool on,
                                   int16_t port, int16_t channel, int16_t key, double velocity) {
    QueuedEvent* queued = queueEvent(instance, frame, on ? CLAP_EVENT_NOTE_ON : CLAP_EVENT_NOTE_OFF,
                                     sizeof(clap_event_note_t));
    if (queued == NULL)
        return;
    clap_event_note_t* event = &queued->note;
    event->note_id = -1;
    event->port_index = port;
    event->channel = channel;
    event->key = key;
    event->velocity = velocity;
}

void clap_test_instance_spoil_last(ClapTestInstance* instance, uint32_t size, uint16_t space) {
    if (instance->eventCount == 0)
        return;
    instance->events[instance->eventCount - 1].header.size = size;
    instance->events[instance->eventCount - 1].header.space_id = space;
}

static uint32_t inputSize(const clap_input_events_t* list) {
    return ((const ClapTestInstance*)list->ctx)->eventCount;
}
static const clap_event_header_t* inputGet(const clap_input_events_t* list, uint32_t index) {
    const ClapTestInstance* instance = (const ClapTestInstance*)list->ctx;
    return index < instance->eventCount ? &instance->events[index].header : NULL;
}
static bool outputPush(const clap_output_events_t* list, const clap_event_header_t* event) {
    (void)event;
    ((ClapTestInstance*)list->ctx)->outputEvents++;
    return true;
}

clap_process_status clap_test_instance_process(ClapTestInstance* instance, uint32_t frames,
                                               float* left, float* right) {
    float* channels[2] = {left != NULL ? left : instance->scratch[0],
                          right != NULL ? right : instance->scratch[1]};
    clap_audio_buffer_t output;
    memset(&output, 0, sizeof output);
    output.data32 = channels;
    output.channel_count = 2;
    const clap_input_events_t in = {instance, inputSize, inputGet};
    const clap_output_events_t out = {instance, outputPush};
    clap_process_t process;
    memset(&process, 0, sizeof process);
    process.steady_time = -1;
    process.frames_count = frames;
    process.audio_outputs = &output;
    process.audio_outputs_count = 1;
    process.in_events = &in;
    process.out_events = &out;
    const clap_process_status status = instance->plugin->process(instance->plugin, &process);
    instance->eventCount = 0;
    return status;
}

typedef struct MemoryStream {
    uint8_t* data;
    size_t size;
    size_t capacity;
    size_t position;
} MemoryStream;

static int64_t streamWrite(const clap_ostream_t* stream, const void* buffer, uint64_t size) {
    MemoryStream* memory = (MemoryStream*)stream->ctx;
    if (memory->size + size > memory->capacity) {
        memory->capacity = (memory->size + size) * 2;
        memory->data = realloc(memory->data, memory->capacity);
    }
    memcpy(memory->data + memory->size, buffer, size);
    memory->size += size;
    return (int64_t)size;
}

static int64_t streamRead(const clap_istream_t* stream, void* buffer, uint64_t size) {
    MemoryStream* memory = (MemoryStream*)stream->ctx;
    const size_t left = memory->size - memory->position;
    const size_t n = size < left ? (size_t)size : left;
    memcpy(buffer, memory->data + memory->position, n);
    memory->position += n;
    return (int64_t)n;
}

bool clap_test_instance_save(ClapTestInstance* instance, uint8_t** data, size_t* size) {
    const clap_plugin_state_t* state = clap_test_instance_extension(instance, CLAP_EXT_STATE);
    MemoryStream memory = {NULL, 0, 0, 0};
    const clap_ostream_t stream = {&memory, streamWrite};
    const bool saved = state != NULL && state->save(instance->plugin, &stream);
    *data = memory.data;
    *size = memory.size;
    return saved;
}

bool clap_test_instance_load(ClapTestInstance* instance, const uint8_t* data, size_t size) {
    const clap_plugin_state_t* state = clap_test_instance_extension(instance, CLAP_EXT_STATE);
    MemoryStream memory = {(uint8_t*)data, size, size, 0};
    const clap_istream_t stream = {&memory, streamRead};
    return state != NULL && state->load(instance->plugin, &stream);
}

uint32_t clap_test_instance_output_event_count(const ClapTestInstance* instance) {
    return instance->outputEvents;
}

uint32_t clap_test_instance_latency_changes(const ClapTestInstance* instance) {
    return instance->latencyChanges;
}

bool clap_test_instance_open_window(ClapTestInstance* instance, unsigned long parentWindow,
                                    double scale, uint32_t* width, uint32_t* height) {
    const clap_plugin_gui_t* gui = clap_test_instance_extension(instance, CLAP_EXT_GUI);
    if (gui == NULL || !gui->is_api_supported(instance->plugin, CLAP_WINDOW_API_X11, false) ||
        !gui->create(instance->plugin, CLAP_WINDOW_API_X11, false))
        return false;
    if (scale > 0.0 && !gui->set_scale(instance->plugin, scale))
        return false;
    clap_window_t window = {.api = CLAP_WINDOW_API_X11, .x11 = parentWindow};
    return gui->get_size(instance->plugin, width, height) &&
           gui->set_parent(instance->plugin, &window) && gui->show(instance->plugin);
}

bool clap_test_instance_idle_window(ClapTestInstance* instance) {
    const clap_plugin_timer_support_t* timer =
        clap_test_instance_extension(instance, CLAP_EXT_TIMER_SUPPORT);
    if (timer == NULL || !instance->timerRegistered)
        return false;
    timer->on_timer(instance->plugin, instance->timerId);
    return true;
}

bool clap_test_instance_window_timer_registered(const ClapTestInstance* instance) {
    return instance->timerRegistered;
}

void clap_test_instance_close_window(ClapTestInstance* instance) {
    const clap_plugin_gui_t* gui = clap_test_instance_extension(instance, CLAP_EXT_GUI);
    if (gui == NULL)
        return;
    gui->hide(instance->plugin);
    gui->destroy(instance->plugin);
}
