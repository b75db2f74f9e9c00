/* A PipeWire microphone fed from a FIFO, for scripts/with-pipewire: the counterpart of
 * PulseAudio's module-pipe-source. Interleaved PCM written into the FIFO comes out of an
 * Audio/Source node unchanged, at the pace it is written: the node drives its own graph and
 * runs a cycle only when a whole cycle of sound has been written, so nothing written means
 * nothing captured (PipeWire's own pipe source pads missing sound with silence instead).
 * While nobody records, what is written is read and dropped, as a real microphone's sound is.
 *
 * The FIFO is made anew (an old one is removed) and held open for reading and writing, so a
 * writer never sees the end of it while this runs and gets EPIPE once it has ended.
 *
 * With --sine instead of a FIFO it is a microphone that hands over a sine tone (all channels
 * alike, amplitude 8000) a long block at a time, as PulseAudio's sine source does: the graph
 * then runs a burst of cycles once a block, and nothing in between.
 *
 * Usage: pipewire-fifo-source <fifo> <node name> <description> <rate> <channels>
 *        pipewire-fifo-source --sine <node name> <description> <rate> <channels> <Hz> <block ms>
 * (signed 16-bit little-endian samples). Ends on SIGTERM or SIGINT, or when PipeWire is gone.
 * Built by with-pipewire into its scratch folder. */
#define _GNU_SOURCE
#include <errno.h>
#include <math.h>
#include <fcntl.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#define RING_SECONDS 2

struct source {
    struct pw_main_loop* main_loop;
    struct pw_loop* data_loop;
    struct pw_stream* stream;
    struct spa_hook stream_listener;
    struct pw_core* core;
    struct spa_hook core_listener;
    struct spa_source* fifo_io;
    const char* fifo_path;
    int fd;
    uint32_t rate;
    uint32_t frame_size;

    /* Everything below belongs to the data thread, except the streaming flag. */
    atomic_bool streaming;
    struct spa_source* timer;
    uint64_t next_cycle; /* when the next cycle is due, ns on the monotonic clock */
    /* --sine: the tone, and the timer that hands over one block of it at a time */
    double sine_hz;
    uint32_t block_ms;
    uint64_t sine_frame;
    struct spa_source* block_timer;
    uint64_t next_block;
    struct spa_io_position* position;
    uint8_t* ring;
    size_t ring_size; /* bytes, a whole number of frames */
    size_t ring_start;
    size_t ring_fill;
};

static uint64_t now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint64_t)ts.tv_sec * SPA_NSEC_PER_SEC + (uint64_t)ts.tv_nsec;
}

/* Frames of one graph cycle: the quantum the server sets in the driver's clock. */
static uint32_t cycle_frames(struct source* s)
{
    if (s->position && s->position->clock.duration > 0)
        return (uint32_t)s->position->clock.duration;
    return 1024;
}

static void set_timer(struct source* s, uint64_t at)
{
    struct timespec value = {.tv_sec = (time_t)(at / SPA_NSEC_PER_SEC), .tv_nsec = (long)(at % SPA_NSEC_PER_SEC)};
    struct timespec interval = {0, 0};
    pw_loop_update_timer(s->data_loop, s->timer, &value, &interval, true);
}

/* The clock of this node, when it drives: one cycle every quantum at real-time pace, skipped
 * while less than a whole cycle of sound has been written. A backlog (a cycle came late) is
 * worked off at twice the pace; the long blocks of --sine go out in a burst. */
static void on_timer(void* data, uint64_t expirations)
{
    struct source* s = data;
    (void)expirations;
    const uint32_t frames = cycle_frames(s);
    const uint64_t period = (uint64_t)frames * SPA_NSEC_PER_SEC / s->rate;
    const uint64_t now = now_ns();
    s->next_cycle += period;
    if (s->next_cycle < now)
        s->next_cycle = now + period;
    const size_t cycle = (size_t)frames * s->frame_size;
    if (atomic_load(&s->streaming) && pw_stream_is_driving(s->stream) && s->ring_fill >= cycle) {
        if (s->ring_fill >= 3 * cycle)
            s->next_cycle = now + (s->block_ms ? 5 * SPA_NSEC_PER_MSEC : period / 2);
        struct spa_io_position* pos = s->position;
        if (pos) {
            pos->clock.nsec = now;
            pos->clock.position += frames;
            pos->clock.delay = 0;
            pos->clock.rate_diff = 1.0;
            pos->clock.next_nsec = s->next_cycle;
        }
        pw_stream_trigger_process(s->stream);
    }
    set_timer(s, s->next_cycle);
}

static void on_block(void* data, uint64_t expirations)
{
    struct source* s = data;
    (void)expirations;
    const size_t frames = (size_t)s->rate * s->block_ms / 1000;
    const size_t channels = s->frame_size / 2;
    const bool keep = atomic_load(&s->streaming);
    if (!keep)
        s->ring_fill = 0;
    for (size_t i = 0; i < frames; ++i, ++s->sine_frame) {
        const int16_t v = (int16_t)lrint(8000.0 * sin(2.0 * M_PI * s->sine_hz * (double)s->sine_frame / s->rate));
        if (!keep || s->ring_fill + s->frame_size > s->ring_size)
            continue;
        for (size_t c = 0; c < channels; ++c) {
            const size_t at = (s->ring_start + s->ring_fill) % s->ring_size;
            s->ring[at] = (uint8_t)(v & 0xff);
            s->ring[at + 1] = (uint8_t)((uint16_t)v >> 8);
            s->ring_fill += 2;
        }
    }
    s->next_block += (uint64_t)s->block_ms * SPA_NSEC_PER_MSEC;
    struct timespec value = {.tv_sec = (time_t)(s->next_block / SPA_NSEC_PER_SEC),
                             .tv_nsec = (long)(s->next_block % SPA_NSEC_PER_SEC)};
    struct timespec interval = {0, 0};
    pw_loop_update_timer(s->data_loop, s->block_timer, &value, &interval, true);
}

static void on_fifo(void* data, int fd, uint32_t mask)
{
    struct source* s = data;
    (void)mask;
    for (;;) {
        const bool keep = atomic_load(&s->streaming);
        if (!keep)
            s->ring_fill = 0; /* nobody records: anything held back goes too */
        if (!keep || s->ring_fill == s->ring_size) {
            /* Dropped as it comes, as a microphone's sound is that nobody takes in time (and
             * the FIFO, readable still, must not wake this thread again and again). */
            uint8_t scrap[8192];
            if (read(fd, scrap, sizeof scrap) <= 0)
                break;
            continue;
        }
        const size_t end = (s->ring_start + s->ring_fill) % s->ring_size;
        size_t room = s->ring_size - s->ring_fill;
        if (end + room > s->ring_size)
            room = s->ring_size - end;
        const ssize_t n = read(fd, s->ring + end, room);
        if (n <= 0)
            break;
        s->ring_fill += (size_t)n;
    }
}

/* Called for every cycle: hands over one cycle of sound (all of it when this node drives). */
static void on_process(void* data)
{
    struct source* s = data;
    struct pw_buffer* b = pw_stream_dequeue_buffer(s->stream);
    if (!b)
        return;
    struct spa_data* d = &b->buffer->datas[0];
    /* The cycle's own length: after the quantum changes, requested can still be the old one. */
    size_t frames = cycle_frames(s);
    if (b->requested > 0 && b->requested < frames)
        frames = b->requested;
    size_t want = frames * s->frame_size;
    if (want > d->maxsize)
        want = d->maxsize - d->maxsize % s->frame_size;
    size_t have = s->ring_fill - s->ring_fill % s->frame_size;
    if (have > want)
        have = want;
    for (size_t done = 0; done < have;) {
        size_t part = have - done;
        if (s->ring_start + part > s->ring_size)
            part = s->ring_size - s->ring_start;
        memcpy((uint8_t*)d->data + done, s->ring + s->ring_start, part);
        s->ring_start = (s->ring_start + part) % s->ring_size;
        s->ring_fill -= part;
        done += part;
    }
    d->chunk->offset = 0;
    d->chunk->stride = (int32_t)s->frame_size;
    d->chunk->size = (uint32_t)have;
    pw_stream_queue_buffer(s->stream, b);
}

static int do_add_fifo(struct spa_loop* loop, bool async, uint32_t seq, const void* data, size_t size,
                       void* user_data)
{
    struct source* s = user_data;
    (void)loop, (void)async, (void)seq, (void)data, (void)size;
    if (s->block_ms) {
        s->block_timer = pw_loop_add_timer(s->data_loop, on_block, s);
        s->next_block = now_ns();
        on_block(s, 0);
    } else {
        s->fifo_io = pw_loop_add_io(s->data_loop, s->fd, SPA_IO_IN, false, on_fifo, s);
    }
    s->timer = pw_loop_add_timer(s->data_loop, on_timer, s);
    s->next_cycle = now_ns();
    set_timer(s, s->next_cycle);
    return 0;
}

static void on_io_changed(void* data, uint32_t id, void* area, uint32_t size)
{
    struct source* s = data;
    (void)size;
    if (id == SPA_IO_Position)
        s->position = area;
}

static void on_state_changed(void* data, enum pw_stream_state old, enum pw_stream_state state, const char* error)
{
    struct source* s = data;
    (void)old;
    atomic_store(&s->streaming, state == PW_STREAM_STATE_STREAMING);
    if (state == PW_STREAM_STATE_ERROR) {
        fprintf(stderr, "pipewire-fifo-source: stream error: %s\n", error ? error : "?");
        pw_main_loop_quit(s->main_loop);
    }
}

static const struct pw_stream_events stream_events = {
    PW_VERSION_STREAM_EVENTS,
    .state_changed = on_state_changed,
    .io_changed = on_io_changed,
    .process = on_process,
};

static void on_core_error(void* data, uint32_t id, int seq, int res, const char* message)
{
    struct source* s = data;
    (void)seq;
    if (id == PW_ID_CORE) {
        fprintf(stderr, "pipewire-fifo-source: %s (%s)\n", message ? message : "", spa_strerror(res));
        pw_main_loop_quit(s->main_loop);
    }
}

static const struct pw_core_events core_events = {
    PW_VERSION_CORE_EVENTS,
    .error = on_core_error,
};

static void on_signal(void* data, int signal_number)
{
    struct source* s = data;
    (void)signal_number;
    pw_main_loop_quit(s->main_loop);
}

int main(int argc, char** argv)
{
    struct source s = {.fd = -1};
    const bool sine = argc == 8 && strcmp(argv[1], "--sine") == 0;
    if (argc != 6 && !sine) {
        fprintf(stderr, "usage: %s <fifo> <node name> <description> <rate> <channels>\n"
                        "       %s --sine <node name> <description> <rate> <channels> <Hz> <block ms>\n",
                argv[0], argv[0]);
        return 2;
    }
    if (sine) {
        s.sine_hz = atof(argv[6]);
        s.block_ms = (uint32_t)atoi(argv[7]);
        if (s.sine_hz <= 0 || s.block_ms < 1 || s.block_ms > 10000)
            return 2;
    }
    s.fifo_path = sine ? NULL : argv[1];
    s.rate = (uint32_t)atoi(argv[4]);
    const uint32_t channels = (uint32_t)atoi(argv[5]);
    if (s.rate < 1000 || s.rate > 384000 || channels < 1 || channels > 8)
        return 2;
    s.frame_size = 2 * channels;
    s.ring_size = (size_t)s.rate * s.frame_size * (RING_SECONDS + s.block_ms / 1000);
    s.ring = malloc(s.ring_size);
    if (!s.ring)
        return 1;

    if (s.fifo_path)
        unlink(s.fifo_path);
    if (s.fifo_path &&
        (mkfifo(s.fifo_path, 0600) != 0 || (s.fd = open(s.fifo_path, O_RDWR | O_NONBLOCK | O_CLOEXEC)) < 0)) {
        fprintf(stderr, "pipewire-fifo-source: %s: %s\n", s.fifo_path, strerror(errno));
        return 1;
    }

    pw_init(&argc, &argv);
    s.main_loop = pw_main_loop_new(NULL);
    struct pw_loop* loop = pw_main_loop_get_loop(s.main_loop);
    pw_loop_add_signal(loop, SIGINT, on_signal, &s);
    pw_loop_add_signal(loop, SIGTERM, on_signal, &s);
    struct pw_context* context = pw_context_new(loop, NULL, 0);
    s.core = context ? pw_context_connect(context, NULL, 0) : NULL;
    if (!s.core) {
        fprintf(stderr, "pipewire-fifo-source: cannot connect to PipeWire\n");
        if (s.fifo_path)
            unlink(s.fifo_path);
        return 1;
    }
    pw_core_add_listener(s.core, &s.core_listener, &core_events, &s);
    s.data_loop = pw_data_loop_get_loop(pw_context_get_data_loop(context));

    char rate_text[32];
    snprintf(rate_text, sizeof rate_text, "1/%u", s.rate);
    s.stream = pw_stream_new(s.core, argv[2],
                             pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CLASS, "Audio/Source",
                                               PW_KEY_NODE_NAME, argv[2], PW_KEY_NODE_DESCRIPTION, argv[3],
                                               PW_KEY_NODE_RATE, rate_text, PW_KEY_NODE_DRIVER, "true",
                                               PW_KEY_PRIORITY_DRIVER, "30000", PW_KEY_PRIORITY_SESSION,
                                               "2000", "node.pause-on-idle", "false", NULL));
    pw_stream_add_listener(s.stream, &s.stream_listener, &stream_events, &s);

    uint8_t pod[1024];
    struct spa_pod_builder builder = SPA_POD_BUILDER_INIT(pod, sizeof pod);
    struct spa_audio_info_raw info = {.format = SPA_AUDIO_FORMAT_S16_LE, .rate = s.rate, .channels = channels};
    if (channels == 1) {
        info.position[0] = SPA_AUDIO_CHANNEL_MONO;
    } else if (channels == 2) {
        info.position[0] = SPA_AUDIO_CHANNEL_FL;
        info.position[1] = SPA_AUDIO_CHANNEL_FR;
    } else {
        info.flags = SPA_AUDIO_FLAG_UNPOSITIONED;
    }
    const struct spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    if (pw_stream_connect(s.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
                          PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS, params,
                          1) < 0) {
        fprintf(stderr, "pipewire-fifo-source: cannot connect the stream\n");
        if (s.fifo_path)
            unlink(s.fifo_path);
        return 1;
    }
    /* The FIFO is read (or the tone made) and the clock runs on the data thread, where the
     * cycles run. */
    pw_loop_invoke(s.data_loop, do_add_fifo, 0, NULL, 0, true, &s);

    pw_main_loop_run(s.main_loop);

    pw_stream_destroy(s.stream);
    pw_core_disconnect(s.core);
    pw_context_destroy(context);
    pw_main_loop_destroy(s.main_loop);
    if (s.fifo_path) {
        close(s.fd);
        unlink(s.fifo_path);
    }
    free(s.ring);
    pw_deinit();
    return 0;
}
