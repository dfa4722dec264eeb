#include "Vst3TestHost.h"

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <filesystem>

namespace {

using ModuleEntry = bool (*)(void*);
using ModuleExit = bool (*)();
using GetPluginFactory = v3_plugin_factory** (*)();

bool sameId(const v3_tuid a, const v3_tuid b) {
    return std::memcmp(a, b, sizeof(v3_tuid)) == 0;
}

} // namespace

Vst3TestHost::Vst3TestHost(const std::string& bundle) {
    const std::filesystem::path path = std::filesystem::path(bundle) / "Contents" / "x86_64-linux" /
                                       (std::filesystem::path(bundle).stem().string() + ".so");
    library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        problem = std::string("dlopen: ") + dlerror();
        return;
    }
    auto entry = reinterpret_cast<ModuleEntry>(dlsym(library, "ModuleEntry"));
    auto getFactory = reinterpret_cast<GetPluginFactory>(dlsym(library, "GetPluginFactory"));
    if (entry == nullptr || getFactory == nullptr || !entry(library)) {
        problem = path.string() + " has no usable ModuleEntry and GetPluginFactory";
        return;
    }
    pluginFactory = getFactory();
    if (pluginFactory == nullptr)
        problem = "GetPluginFactory returned no factory";
}

Vst3TestHost::~Vst3TestHost() {
    if (pluginFactory != nullptr)
        v3_cpp_obj_unref(pluginFactory);
    if (library != nullptr) {
        if (auto exit = reinterpret_cast<ModuleExit>(dlsym(library, "ModuleExit")))
            exit();
        dlclose(library);
    }
}

std::vector<Vst3TestHost::ClassInfo> Vst3TestHost::classes() const {
    std::vector<ClassInfo> found;
    v3_plugin_factory_2** factory2 = nullptr;
    v3_cpp_obj_query_interface(pluginFactory, v3_plugin_factory_2_iid, &factory2);
    for (int32_t i = 0; i < v3_cpp_obj(pluginFactory)->num_classes(pluginFactory); ++i) {
        v3_class_info info{};
        if (v3_cpp_obj(pluginFactory)->get_class_info(pluginFactory, i, &info) != V3_OK)
            continue;
        ClassInfo entry{};
        std::memcpy(entry.id, info.class_id, sizeof(v3_tuid));
        entry.category = info.category;
        entry.name = info.name;
        v3_class_info_2 info2{};
        if (factory2 != nullptr &&
            v3_cpp_obj(factory2)->get_class_info_2(factory2, i, &info2) == V3_OK)
            entry.subCategories = info2.sub_categories;
        found.push_back(entry);
    }
    if (factory2 != nullptr)
        v3_cpp_obj_unref(factory2);
    return found;
}

// --- The event list the host hands the processor ---------------------------------------------

const Vst3TestHost::Instance::StreamTable Vst3TestHost::Instance::memoryStreamTable = [] {
    StreamTable table{};
    table.query_interface = [](void* self, const v3_tuid iid, void** object) -> v3_result {
        if (sameId(iid, v3_funknown_iid) || sameId(iid, v3_bstream_iid)) {
            *object = self;
            return V3_OK;
        }
        *object = nullptr;
        return V3_NO_INTERFACE;
    };
    table.ref = [](void*) -> uint32_t { return 1; };
    table.unref = [](void*) -> uint32_t { return 1; };
    table.stream.read = [](void*, void*, int32_t, int32_t* read) -> v3_result {
        if (read != nullptr)
            *read = 0;
        return V3_NOT_IMPLEMENTED;
    };
    table.stream.write = [](void* self, void* buffer, int32_t size, int32_t* written) -> v3_result {
        if (size < 0)
            return V3_INVALID_ARG;
        static_cast<MemoryStream*>(self)->bytes.append(static_cast<const char*>(buffer),
                                                       size_t(size));
        if (written != nullptr)
            *written = size;
        return V3_OK;
    };
    table.stream.seek = [](void*, int64_t, int32_t, int64_t*) -> v3_result {
        return V3_NOT_IMPLEMENTED;
    };
    table.stream.tell = [](void* self, int64_t* position) -> v3_result {
        *position = int64_t(static_cast<MemoryStream*>(self)->bytes.size());
        return V3_OK;
    };
    return table;
}();

std::string Vst3TestHost::Instance::savedState() const {
    MemoryStream stream{&memoryStreamTable, {}};
    if (comp == nullptr ||
        v3_cpp_obj(comp)->get_state(comp, reinterpret_cast<v3_bstream**>(&stream)) != V3_OK)
        return {};
    return stream.bytes;
}

const v3_param_changes_cpp Vst3TestHost::Instance::paramChangesTable = [] {
    v3_param_changes_cpp table{};
    table.query_interface = [](void* self, const v3_tuid iid, void** object) -> v3_result {
        if (sameId(iid, v3_funknown_iid) || sameId(iid, v3_param_changes_iid)) {
            *object = self;
            return V3_OK;
        }
        *object = nullptr;
        return V3_NO_INTERFACE;
    };
    table.ref = [](void*) -> uint32_t { return 1; };
    table.unref = [](void*) -> uint32_t { return 1; };
    table.changes.get_param_count = [](void*) -> int32_t { return 0; };
    table.changes.get_param_data = [](void*, int32_t) -> v3_param_value_queue** { return nullptr; };
    table.changes.add_param_data = [](void*, v3_param_id*, int32_t* index) {
        *index = 0;
        return reinterpret_cast<v3_param_value_queue**>(&droppedQueue);
    };
    return table;
}();

const v3_param_value_queue_cpp Vst3TestHost::Instance::paramQueueTable = [] {
    v3_param_value_queue_cpp table{};
    table.query_interface = [](void*, const v3_tuid, void** object) -> v3_result {
        *object = nullptr;
        return V3_NO_INTERFACE;
    };
    table.ref = [](void*) -> uint32_t { return 1; };
    table.unref = [](void*) -> uint32_t { return 1; };
    table.queue.get_param_id = [](void*) -> v3_param_id { return 0; };
    table.queue.get_point_count = [](void*) -> int32_t { return 0; };
    table.queue.get_point = [](void*, int32_t, int32_t*, double*) -> v3_result {
        return V3_INVALID_ARG;
    };
    table.queue.add_point = [](void*, int32_t, double, int32_t* index) -> v3_result {
        *index = 0;
        return V3_OK;
    };
    return table;
}();

Vst3TestHost::Instance::ParamQueue Vst3TestHost::Instance::droppedQueue{
    &Vst3TestHost::Instance::paramQueueTable};

Vst3TestHost::Instance::Instance(const Vst3TestHost& host) {
    v3_plugin_factory** factory = host.factory();
    if (factory == nullptr)
        return;
    for (const ClassInfo& info : host.classes()) {
        if (info.category != "Audio Module Class")
            continue;
        v3_component** created = nullptr;
        if (v3_cpp_obj(factory)->create_instance(factory, info.id, v3_component_iid,
                                                 reinterpret_cast<void**>(&created)) != V3_OK ||
            created == nullptr)
            return;
        if (v3_cpp_obj_initialize(created, reinterpret_cast<v3_funknown**>(&hostApplication)) !=
            V3_OK) {
            v3_cpp_obj_unref(created);
            return;
        }
        comp = created;
        v3_cpp_obj_query_interface(comp, v3_audio_processor_iid, &proc);
        return;
    }
}

Vst3TestHost::Instance::~Instance() {
    closeEditor();
    stop();
    if (proc != nullptr)
        v3_cpp_obj_unref(proc);
    if (comp != nullptr) {
        v3_cpp_obj_terminate(comp);
        v3_cpp_obj_unref(comp);
    }
}

bool Vst3TestHost::Instance::start(double rate, int32_t maxBlockFrames) {
    if (proc == nullptr)
        return false;
    v3_process_setup setup{V3_REALTIME, V3_SAMPLE_32, maxBlockFrames, rate};
    if (v3_cpp_obj(proc)->setup_processing(proc, &setup) != V3_OK)
        return false;
    v3_cpp_obj(comp)->activate_bus(comp, V3_EVENT, V3_INPUT, 0, true);
    v3_cpp_obj(comp)->activate_bus(comp, V3_AUDIO, V3_OUTPUT, 0, true);
    if (v3_cpp_obj(comp)->set_active(comp, true) != V3_OK)
        return false;
    processing = v3_cpp_obj(proc)->set_processing(proc, true) == V3_OK;
    return processing;
}

void Vst3TestHost::Instance::stop() {
    if (!processing)
        return;
    v3_cpp_obj(proc)->set_processing(proc, false);
    v3_cpp_obj(comp)->set_active(comp, false);
    processing = false;
}

uint32_t Vst3TestHost::Instance::latency() const {
    return v3_cpp_obj(proc)->get_latency_samples(proc);
}

void Vst3TestHost::Instance::queueNoteOn(int32_t frame, int16_t pitch, float velocity) {
    v3_event event{};
    event.sample_offset = frame;
    event.type = V3_EVENT_NOTE_ON;
    event.note_on.pitch = pitch;
    event.note_on.velocity = velocity;
    event.note_on.note_id = -1;
    inputEvents.events.push_back(event);
}

void Vst3TestHost::Instance::queueNoteOff(int32_t frame, int16_t pitch) {
    v3_event event{};
    event.sample_offset = frame;
    event.type = V3_EVENT_NOTE_OFF;
    event.note_off.pitch = pitch;
    event.note_off.note_id = -1;
    inputEvents.events.push_back(event);
}

v3_result Vst3TestHost::Instance::process(int32_t frames) {
    leftBlock.assign(size_t(frames), NAN);
    rightBlock.assign(size_t(frames), NAN);
    float* channels[2] = {leftBlock.data(), rightBlock.data()};
    v3_audio_bus_buffers output{};
    output.num_channels = 2;
    output.channel_buffers_32 = channels;
    v3_event_list** events = inputEvents.list();
    v3_process_data data{};
    data.process_mode = V3_REALTIME;
    data.symbolic_sample_size = V3_SAMPLE_32;
    data.nframes = frames;
    data.num_output_buses = 1;
    data.outputs = &output;
    data.input_events = events;
    data.input_params = inputParams.changes();
    data.output_params = reinterpret_cast<v3_param_changes**>(&outputParams);
    const v3_result result = v3_cpp_obj(proc)->process(proc, &data);
    inputEvents.events.clear();
    inputParams.queues.clear();
    left.insert(left.end(), leftBlock.begin(), leftBlock.end());
    right.insert(right.end(), rightBlock.begin(), rightBlock.end());
    return result;
}

const v3_host_application_cpp Vst3TestHost::Instance::hostApplicationTable = [] {
    v3_host_application_cpp table{};
    table.query_interface = [](void* self, const v3_tuid iid, void** object) -> v3_result {
        if (sameId(iid, v3_funknown_iid) || sameId(iid, v3_host_application_iid)) {
            *object = self;
            return V3_OK;
        }
        *object = nullptr;
        return V3_NO_INTERFACE;
    };
    table.ref = [](void*) -> uint32_t { return 1; };
    table.unref = [](void*) -> uint32_t { return 1; };
    table.app.get_name = [](void*, v3_str_128 name) -> v3_result {
        const char* text = "Corvena VST3 test host";
        size_t i = 0;
        for (; text[i] != '\0' && i < 127; ++i)
            name[i] = static_cast<int16_t>(text[i]);
        name[i] = 0;
        return V3_OK;
    };
    // The host makes no message objects: the editor reaches the plugin directly.
    table.app.create_instance = [](void*, v3_tuid, v3_tuid, void** object) -> v3_result {
        *object = nullptr;
        return V3_NOT_IMPLEMENTED;
    };
    return table;
}();

const v3_plugin_frame_cpp Vst3TestHost::Instance::frameTable = [] {
    v3_plugin_frame_cpp table{};
    table.query_interface = [](void* self, const v3_tuid iid, void** object) -> v3_result {
        Frame* frame = static_cast<Frame*>(self);
        if (sameId(iid, v3_funknown_iid) || sameId(iid, v3_plugin_frame_iid)) {
            *object = self;
            return V3_OK;
        }
        if (sameId(iid, v3_run_loop_iid)) {
            *object = &frame->owner->runLoop;
            return V3_OK;
        }
        *object = nullptr;
        return V3_NO_INTERFACE;
    };
    table.ref = [](void*) -> uint32_t { return 1; };
    table.unref = [](void*) -> uint32_t { return 1; };
    table.frame.resize_view = [](void*, v3_plugin_view**, v3_view_rect*) -> v3_result {
        return V3_OK;
    };
    return table;
}();

const v3_run_loop_cpp Vst3TestHost::Instance::runLoopTable = [] {
    v3_run_loop_cpp table{};
    table.query_interface = [](void* self, const v3_tuid iid, void** object) -> v3_result {
        if (sameId(iid, v3_funknown_iid) || sameId(iid, v3_run_loop_iid)) {
            *object = self;
            return V3_OK;
        }
        *object = nullptr;
        return V3_NO_INTERFACE;
    };
    table.ref = [](void*) -> uint32_t { return 1; };
    table.unref = [](void*) -> uint32_t { return 1; };
    table.loop.register_event_handler = [](void*, v3_event_handler**, int) -> v3_result {
        return V3_NOT_IMPLEMENTED;
    };
    table.loop.unregister_event_handler = [](void*, v3_event_handler**) -> v3_result {
        return V3_OK;
    };
    table.loop.register_timer = [](void* self, v3_timer_handler** handler, uint64_t) -> v3_result {
        Instance* owner = static_cast<RunLoop*>(self)->owner;
        if (owner->editorTimer != nullptr)
            return V3_INVALID_ARG; // one editor, one timer
        owner->editorTimer = handler;
        return V3_OK;
    };
    table.loop.unregister_timer = [](void* self, v3_timer_handler** handler) -> v3_result {
        Instance* owner = static_cast<RunLoop*>(self)->owner;
        if (owner->editorTimer != handler)
            return V3_INVALID_ARG;
        owner->editorTimer = nullptr;
        return V3_OK;
    };
    return table;
}();

bool Vst3TestHost::Instance::openEditor(unsigned long parentWindow, int32_t* width, int32_t* height,
                                        float scale, v3_view_rect* sizeBeforeAttaching) {
    if (comp == nullptr || editor != nullptr)
        return false;
    v3_edit_controller** controller = nullptr;
    if (v3_cpp_obj_query_interface(comp, v3_edit_controller_iid, &controller) != V3_OK ||
        controller == nullptr)
        return false;
    editor = v3_cpp_obj(controller)->create_view(controller, "editor");
    v3_cpp_obj_unref(controller);
    if (editor == nullptr)
        return false;
    if (scale > 0.0f) {
        v3_plugin_view_content_scale** scaling = nullptr;
        if (v3_cpp_obj_query_interface(editor, v3_plugin_view_content_scale_iid, &scaling) !=
                V3_OK ||
            scaling == nullptr)
            return false;
        // Hosts go on whatever the answer: DPF's, before the editor is attached, is "not
        // initialized", yet it keeps the factor for the window it will make.
        v3_cpp_obj(scaling)->set_content_scale_factor(scaling, scale);
        v3_cpp_obj_unref(scaling);
    }
    // A host sizes its window from this answer before it hands the window over.
    if (sizeBeforeAttaching != nullptr &&
        v3_cpp_obj(editor)->get_size(editor, sizeBeforeAttaching) != V3_OK)
        return false;
    v3_view_rect rect{};
    if (v3_cpp_obj(editor)->is_platform_type_supported(editor, V3_VIEW_PLATFORM_TYPE_X11) !=
            V3_OK ||
        v3_cpp_obj(editor)->set_frame(editor, reinterpret_cast<v3_plugin_frame**>(&frame)) !=
            V3_OK ||
        v3_cpp_obj(editor)->attached(editor, reinterpret_cast<void*>(parentWindow),
                                     V3_VIEW_PLATFORM_TYPE_X11) != V3_OK ||
        v3_cpp_obj(editor)->get_size(editor, &rect) != V3_OK)
        return false;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return true;
}

bool Vst3TestHost::Instance::idleEditor() {
    if (editorTimer == nullptr)
        return false;
    v3_cpp_obj(editorTimer)->on_timer(editorTimer);
    return true;
}

void Vst3TestHost::Instance::closeEditor() {
    if (editor == nullptr)
        return;
    v3_cpp_obj(editor)->removed(editor);
    v3_cpp_obj(editor)->set_frame(editor, nullptr);
    v3_cpp_obj_unref(editor);
    editor = nullptr;
}
