// SPDX-License-Identifier: GPL-3.0-only
// How many of the largest scope frames (three channels of 3840 samples) the
// virtual instrument builds per second, on the test clock so that only the
// work of building frames is timed, never the pacing of the bulk pipe.
//
// Repeat with: cmake --build <build> --target bench_virtualframes && <build>/bench/bench_virtualframes
// Optional argument: the number of runs (default 9).

#include "device/virtual/virtualinstrument.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
void write(VirtualInstrument &vi, int entry, int value)
{
    vi.control(0x41, uint16_t(entry), uint16_t(value), nullptr, 0);
}

struct Case {
    const char *name;
    int sampling;
    int trigger; // entry 7
    int waveform;
};

double framesPerSecond(const Case &c, int frames)
{
    VirtualInstrument vi;
    vi.useTestClock(true);
    write(vi, 0, 0);
    write(vi, 2, 1);
    write(vi, 31, c.waveform);
    write(vi, 30, 200);
    vi.control(0x46, 0x86A0, 0x0001, nullptr, 0); // 1 kHz
    write(vi, 1, c.sampling);
    write(vi, 3, 1);
    write(vi, 4, 1);
    write(vi, 5, 1);
    write(vi, 25, 15);
    write(vi, 16, 1920);
    write(vi, 17, 0);
    write(vi, 7, c.trigger);
    vi.control(0x44, 2, 0, nullptr, 0);
    std::vector<unsigned char> buffer(16384);
    int produced = 0;
    QElapsedTimer timer;
    timer.start();
    while (produced < frames) {
        // 11 ms is what the pipe needs for one 11568-byte frame at 1.1 MB/s.
        vi.advanceClock(11000);
        const int length = vi.takeFrame(buffer.data(), int(buffer.size()));
        if (length == 48 + 3 * 3840)
            ++produced;
        else if (length != 0) {
            std::fprintf(stderr, "unexpected frame length %d\n", length);
            return 0.0;
        }
    }
    return produced / (double(timer.nsecsElapsed()) * 1e-9);
}
} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const int frames = 2000;
    const Case cases[] = {
        {"free running, sine, 2 MS/s", 0, 0x81, 0},
        {"rising edge on CH1, sine, 2 MS/s", 0, 0x82, 0},
        {"free running, pink noise, 2 MS/s", 0, 0x81, 7},
    };
    std::printf("bench_virtualframes: largest scope frames (CH1+CH2+logic, 3840 samples each, 11568 bytes)\n");
    std::printf("built per second of wall time, the instrument on its test clock; %d runs of %d frames each\n", runs, frames);
    for (const Case &c : cases) {
        std::vector<double> rates;
        for (int r = 0; r < runs; ++r)
            rates.push_back(framesPerSecond(c, frames));
        std::sort(rates.begin(), rates.end());
        const double median = rates[rates.size() / 2];
        std::printf("  %-36s median %8.0f frames/s   min %8.0f   max %8.0f\n", c.name, median, rates.front(),
                    rates.back());
    }
    std::printf("The display needs at most 250 frames/s (one per 4 ms tick); the bulk pipe carries about 95 of\n"
                "these frames per second at 1.1 MB/s.\n");
    return 0;
}
