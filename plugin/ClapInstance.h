// One CLAP instance: DPF's own CLAP instance of CorvenaDpfPlugin, with the host's events passed
// through a ClapEventFilter on their way in, in process() and in the parameters' flush(). The
// clap_plugin_t the host holds is ours, but carries DPF's plugin_data, so every call DPF's
// wrapper gets from the host through its extensions reaches its instance unchanged.
//
// It also offers the factory bank (ClapFactoryPresets.h). A load on the main thread only leaves
// the row's index in an atomic; the next process() or flush() puts a parameter event for every
// control the row covers ahead of the host's events, at the block's first frame, so the row
// takes DPF's parameter path (the host's own events in that block still win), and reports the
// new values to the host as output events. Nothing there allocates or locks.
#pragma once

#include "ClapEventFilter.h"
#include "ClapFactoryPresets.h"

#include "clap/ext/params.h"
#include "clap/host.h"
#include "clap/plugin.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class ClapInstance {
public:
    // Wraps what DPF's factory made; null when it made nothing.
    static const clap_plugin_t* wrap(const clap_plugin_t* inner, const clap_host_t* host);

private:
    ClapInstance(const clap_plugin_t* inner, const clap_host_t* host);
    static ClapInstance* of(const clap_plugin_t* plugin);

    static void destroy(const clap_plugin_t* plugin);
    static clap_process_status process(const clap_plugin_t* plugin, const clap_process_t* data);
    static const void* getExtension(const clap_plugin_t* plugin, const char* id);
    static void flush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                      const clap_output_events_t* out);
    static uint32_t presetCount(const clap_plugin_t* plugin);
    static bool presetLabel(const clap_plugin_t* plugin, uint32_t index, char* label,
                            uint32_t capacity);
    static bool loadPreset(const clap_plugin_t* plugin, uint32_t index);

    // The host's list with the events of a preset whose load is pending put ahead of it, and
    // those events reported to `out`; the host's list unchanged when none is pending.
    const clap_input_events_t* withPendingPreset(const clap_input_events_t* in,
                                                 const clap_output_events_t* out);
    static uint32_t prependedSize(const clap_input_events_t* list);
    static const clap_event_header_t* prependedGet(const clap_input_events_t* list, uint32_t index);

    clap_plugin_t plugin; // first: the host's pointer is this object's
    const clap_plugin_t* inner;
    const clap_plugin_params_t* innerParams = nullptr;
    clap_plugin_params_t params{};
    std::unique_ptr<ClapEventFilter> processFilter;
    std::unique_ptr<ClapEventFilter> flushFilter;

    static constexpr uint32_t noPreset = UINT32_MAX;
    const clap_host_t* host;
    corvena_clap_factory_presets_t presets{};
    std::atomic<uint32_t> pendingPreset{noPreset};
    // The pending row's events, and the list that puts them ahead of the host's (process() and
    // flush() never run at once, so they share it).
    std::vector<clap_event_param_value_t> presetEvents;
    uint32_t presetEventCount = 0;
    const clap_input_events_t* hostEvents = nullptr;
    clap_input_events_t prepended{};
};
