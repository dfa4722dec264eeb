/* A small CLAP host for tests, in C on the CLAP headers that DPF ships: it loads a .clap file,
 * makes one instance of its first plugin, and runs it the way a host's audio thread does, with
 * MIDI and parameter events at chosen frames, stereo output, state saved to and loaded from
 * memory, and the window (X11) created, shown and destroyed. Every call returns what the plugin
 * said; nothing is checked here, so tests see the plugin's answers, bad ones included. */
#ifndef CORVENA_CLAP_TEST_HOST_H
#define CORVENA_CLAP_TEST_HOST_H

#include "clap/entry.h"
#include "clap/ext/audio-ports.h"
#include "clap/ext/gui.h"
#include "clap/ext/latency.h"
#include "clap/ext/note-ports.h"
#include "clap/ext/params.h"
#include "clap/ext/state.h"
#include "clap/ext/timer-support.h"
#include "clap/plugin-factory.h"

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ClapTestModule ClapTestModule;
typedef struct ClapTestInstance ClapTestInstance;

/* Loads the file and initialises its entry; null with the reason in `error` when it fails. */
ClapTestModule* clap_test_module_open(const char* path, char* error, size_t errorSize);
void clap_test_module_close(ClapTestModule* module);
const clap_plugin_factory_t* clap_test_module_factory(const ClapTestModule* module);

/* The factory's first plugin, created and initialised; null when either fails. */
ClapTestInstance* clap_test_instance_create(ClapTestModule* module);
void clap_test_instance_destroy(ClapTestInstance* instance);
const clap_plugin_t* clap_test_instance_plugin(const ClapTestInstance* instance);
const void* clap_test_instance_extension(const ClapTestInstance* instance, const char* id);

bool clap_test_instance_activate(ClapTestInstance* instance, double rate, uint32_t maxFrames);
void clap_test_instance_deactivate(ClapTestInstance* instance);

/* Queued for the next process call, in the order queued (CLAP asks hosts to sort by time; a
 * test may not). */
void clap_test_instance_queue_midi(ClapTestInstance* instance, uint32_t frame, uint8_t status,
                                   uint8_t data1, uint8_t data2);
void clap_test_instance_queue_param(ClapTestInstance* instance, uint32_t frame, clap_id param,
                                    double value);
void clap_test_instance_queue_note(ClapTestInstance* instance, uint32_t frame, bool on,
                                   int16_t port, int16_t channel, int16_t key, double velocity);
/* Gives the event queued last another size and event space, as a broken host might. */
void clap_test_instance_spoil_last(ClapTestInstance* instance, uint32_t size, uint16_t space);
/* One block into `left` and `right` (either may be null: the channel is still given a buffer
 * of the host's, and its samples dropped); the plugin's status. */
clap_process_status clap_test_instance_process(ClapTestInstance* instance, uint32_t frames,
                                               float* left, float* right);

/* The plugin's state, saved into a buffer of the host's (malloc'd, for free()), and loaded. */
bool clap_test_instance_save(ClapTestInstance* instance, uint8_t** data, size_t* size);
bool clap_test_instance_load(ClapTestInstance* instance, const uint8_t* data, size_t size);

/* The events the plugin has sent out of process (parameter changes and gestures), and the times
 * it told the host its latency changed. */
uint32_t clap_test_instance_output_event_count(const ClapTestInstance* instance);
uint32_t clap_test_instance_latency_changes(const ClapTestInstance* instance);

/* The plugin's window (X11, embedded): created inside `parentWindow` at the host's `scale`
 * (none given when 0), sized and shown; false at the first step the plugin refuses. Idling runs the
 * timer the window registered (false when it has none); closing hides and destroys it. */
bool clap_test_instance_open_window(ClapTestInstance* instance, unsigned long parentWindow,
                                    double scale, uint32_t* width, uint32_t* height);
bool clap_test_instance_idle_window(ClapTestInstance* instance);
bool clap_test_instance_window_timer_registered(const ClapTestInstance* instance);
void clap_test_instance_close_window(ClapTestInstance* instance);

#ifdef __cplusplus
}
#endif

#endif
