/* Feeds a PulseAudio pipe source at real-time pace: a 440 Hz tone (all channels alike) as
 * interleaved signed 16-bit little-endian PCM, one block at a time (10 ms unless told), until
 * killed, at exactly <rate> frames a second: where a block's share is not a whole number of
 * frames (44321 a second in blocks of 10 ms), the blocks differ by a frame so that the count
 * stays on time. The pipe source hands each block on as it comes, so the block is what a recording
 * client is woken for: 10 ms is a low-latency source, 100 ms a sound card's source serving a
 * stream that asked for 100 ms fragments. Like a real
 * microphone it never catches up: a block the FIFO has no room for (the server is not reading,
 * nobody records) is dropped and time runs on. A FIFO that has lost its reader (server
 * restarted) is opened again.
 *
 * Given a file of such PCM, it plays that instead of the tone, from its start and over again.
 *
 * With --dump it writes <seconds> of the tone to standard output at once instead, for an
 * encoder to be timed on exactly the PCM a recording of the microphone gets.
 *
 * Usage: mic_feeder <fifo> <rate> <channels> [block milliseconds, 1 to 1000] [PCM file]
 *        mic_feeder --dump <seconds> <rate> <channels> */
#define _DEFAULT_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

/* The tone's n-th frame into frame[0..channels). */
static void Tone(int16_t* frame, uint64_t n, int rate, int channels)
{
    const int16_t v = (int16_t)lrint(8000.0 * sin(2.0 * M_PI * 440.0 * (double)n / rate));
    for (int c = 0; c < channels; ++c)
        frame[c] = v;
}

static int Dump(int seconds, int rate, int channels)
{
    if (seconds <= 0 || rate <= 0 || channels <= 0 || channels > 8)
        return 2;
    int16_t frame[8];
    const uint64_t frames = (uint64_t)seconds * (uint64_t)rate;
    for (uint64_t n = 0; n < frames; ++n) {
        Tone(frame, n, rate, channels);
        if (fwrite(frame, sizeof(int16_t), (size_t)channels, stdout) != (size_t)channels)
            return 1;
    }
    return fflush(stdout) == 0 ? 0 : 1;
}

int main(int argc, char** argv)
{
    if (argc == 5 && strcmp(argv[1], "--dump") == 0)
        return Dump(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]));
    if (argc < 4 || argc > 6) {
        fprintf(stderr, "usage: %s <fifo> <rate> <channels> [block milliseconds] [PCM file]\n"
                        "       %s --dump <seconds> <rate> <channels>\n", argv[0], argv[0]);
        return 2;
    }
    const int blockMs = argc >= 5 ? atoi(argv[4]) : 10;
    FILE* pcm = argc == 6 ? fopen(argv[5], "rb") : NULL;
    if (argc == 6 && pcm == NULL)
        return 2;
    if (blockMs < 1 || blockMs > 1000)
        return 2;
    signal(SIGPIPE, SIG_IGN);
    const int rate = atoi(argv[2]);
    const int channels = atoi(argv[3]);
    /* The most frames one block holds; each block takes what is due by its end. */
    const int most = (int)(((long long)rate * blockMs + 999) / 1000);
    int16_t* block = malloc((size_t)most * (size_t)channels * sizeof(int16_t));
    if (!block || rate <= 0 || channels <= 0 || most <= 0)
        return 2;
    uint64_t n = 0, blocks = 0, sent = 0;
    struct timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    int fd = -1;
    for (;;) {
        if (fd < 0)
            fd = open(argv[1], O_WRONLY | O_NONBLOCK);
        ++blocks;
        const uint64_t due = blocks * (uint64_t)rate * (uint64_t)blockMs / 1000;
        const int frames = (int)(due - sent);
        sent = due;
        if (pcm != NULL) {
            size_t got = 0;
            int rewound = 0;
            const size_t want = (size_t)frames * (size_t)channels;
            while (got < want) {
                const size_t n = fread(block + got, sizeof(int16_t), want - got, pcm);
                if (n == 0) {
                    if (rewound)
                        return 1;  /* an empty file */
                    rewind(pcm);
                    rewound = 1;
                    continue;
                }
                rewound = 0;
                got += n;
            }
        } else {
            for (int i = 0; i < frames; ++i, ++n)
                Tone(block + (size_t)i * (size_t)channels, n, rate, channels);
        }
        if (fd >= 0) {
            const size_t bytes = (size_t)frames * (size_t)channels * sizeof(int16_t);
            if (write(fd, block, bytes) < 0 && errno == EPIPE) {
                close(fd);
                fd = -1;
            }
        }
        next.tv_nsec += (long)blockMs * 1000 * 1000;
        while (next.tv_nsec >= 1000000000) {
            next.tv_nsec -= 1000000000;
            next.tv_sec += 1;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL);
    }
}
