#pragma once
// The libpulse functions the program uses, looked up in "libpulse.so.0" the first time the
// sound server is needed rather than linked: start-up loads nothing of the sound server, and a
// machine without libpulse still records and plays through SDL.
//
// Only the headers of libpulse are used at build time; each member has the type of the libpulse
// function of the same name. The table holds exactly the functions the program calls, for
// capture and playback alike, so every stream of the process shares it.
//
// Threads: Load on the user-interface thread, before the members are used; the members may then
// be called from any thread, as libpulse allows each of them.

#include <pulse/pulseaudio.h>
#include <pulse/thread-mainloop.h>

#include "platform/SharedLibrary.h"

namespace platform {

#define DR_PULSE_FUNCTIONS(X)                                                                      \
    X(pa_threaded_mainloop_new) X(pa_threaded_mainloop_free) X(pa_threaded_mainloop_start)         \
    X(pa_threaded_mainloop_stop) X(pa_threaded_mainloop_lock) X(pa_threaded_mainloop_unlock)       \
    X(pa_threaded_mainloop_get_api)                                                                \
    X(pa_proplist_new) X(pa_proplist_free) X(pa_proplist_sets)                                     \
    X(pa_context_new_with_proplist) X(pa_context_unref) X(pa_context_connect)                      \
    X(pa_context_disconnect) X(pa_context_get_state) X(pa_context_errno)                           \
    X(pa_context_set_state_callback) X(pa_context_set_subscribe_callback) X(pa_context_subscribe)  \
    X(pa_context_get_server_info) X(pa_context_get_source_info_list)                               \
    X(pa_context_get_sink_info_list) X(pa_operation_unref)                                         \
    X(pa_stream_new_with_proplist) X(pa_stream_unref) X(pa_stream_connect_record)                  \
    X(pa_stream_connect_playback) X(pa_stream_disconnect) X(pa_stream_get_state)                   \
    X(pa_stream_set_state_callback) X(pa_stream_set_read_callback)                                 \
    X(pa_stream_set_write_callback) X(pa_stream_set_moved_callback)                                \
    X(pa_stream_set_latency_update_callback) X(pa_stream_update_timing_info)                       \
    X(pa_stream_get_timing_info) X(pa_stream_get_time) X(pa_stream_get_latency)                    \
    X(pa_stream_peek) X(pa_stream_drop) X(pa_stream_readable_size)                                 \
    X(pa_stream_begin_write) X(pa_stream_write) X(pa_stream_cork)                                  \
    X(pa_stream_get_sample_spec) X(pa_stream_get_buffer_attr) X(pa_stream_get_device_name)         \
    X(pa_stream_get_context)

class PulseApi {
public:
    // Loads the library and looks every function up; false (and nothing usable) when the
    // library or one of the functions is missing. Later calls return the first answer.
    bool Load();
    bool Loaded() const { return m_loaded; }

#define DR_PULSE_MEMBER(name) decltype(&::name) name = nullptr;
    DR_PULSE_FUNCTIONS(DR_PULSE_MEMBER)
#undef DR_PULSE_MEMBER

private:
    CSharedLibrary m_library;
    bool m_tried = false;
    bool m_loaded = false;
};

}  // namespace platform
