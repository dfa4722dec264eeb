// The factory bank for CLAP hosts, as far as the CLAP headers we build on (1.1.1, shipped with
// DPF 1.6) allow. Those headers have neither the preset-discovery factory nor the preset-load
// extension, through which hosts list and load a plugin's presets, so this is an extension of
// our own under our own id: the bank's rows by index and label, and a load that ClapInstance
// applies through the path the host's parameter events take. When the headers grow preset
// discovery, its factory lists these rows (load_key = index) and preset-load calls load().
//
// A C interface like CLAP's own, so a host in C (our tests) can call it.
#pragma once

#include "clap/plugin.h"

#include <stdbool.h>
#include <stdint.h>

static const char CORVENA_CLAP_EXT_FACTORY_PRESETS[] = "corvena.factory-presets/1";

typedef struct corvena_clap_factory_presets {
    // [main-thread] How many rows the bank has.
    uint32_t (*count)(const clap_plugin_t* plugin);
    // [main-thread] The row's label ("Bass: Round Sub"), cut to `capacity` with its zero; false
    // for an index past the bank.
    bool (*get_label)(const clap_plugin_t* plugin, uint32_t index, char* label, uint32_t capacity);
    // [main-thread] Sets every parameter the row covers, on the next process() or, while the
    // plugin does not process, the next flush() (the host is asked for one); false for an
    // index past the bank.
    bool (*load)(const clap_plugin_t* plugin, uint32_t index);
} corvena_clap_factory_presets_t;
