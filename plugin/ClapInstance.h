// One CLAP instance: DPF's own CLAP instance of CorvenaDpfPlugin, with the host's events passed
// through a ClapEventFilter on their way in, in process() and in the parameters' flush(). The
// clap_plugin_t the host holds is ours, but carries DPF's plugin_data, so every call DPF's
// wrapper gets from the host through its extensions reaches its instance unchanged.
#pragma once

#include "ClapEventFilter.h"

#include "clap/ext/params.h"
#include "clap/plugin.h"

#include <memory>

class ClapInstance {
public:
    // Wraps what DPF's factory made; null when it made nothing.
    static const clap_plugin_t* wrap(const clap_plugin_t* inner);

private:
    explicit ClapInstance(const clap_plugin_t* inner);
    static ClapInstance* of(const clap_plugin_t* plugin);

    static void destroy(const clap_plugin_t* plugin);
    static clap_process_status process(const clap_plugin_t* plugin, const clap_process_t* data);
    static const void* getExtension(const clap_plugin_t* plugin, const char* id);
    static void flush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                      const clap_output_events_t* out);

    clap_plugin_t plugin; // first: the host's pointer is this object's
    const clap_plugin_t* inner;
    const clap_plugin_params_t* innerParams = nullptr;
    clap_plugin_params_t params{};
    std::unique_ptr<ClapEventFilter> processFilter;
    std::unique_ptr<ClapEventFilter> flushFilter;
};
