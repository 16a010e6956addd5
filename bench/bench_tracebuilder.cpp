// SPDX-License-Identifier: GPL-3.0-only
// Time per frame of the scope's per-tick core, which has to fit well inside
// the 4 ms display tick: the trace build alone, and a whole drawn tick's
// core work (trace build, persistence history at decay 8, reference display
// of every trace, spectrum of both channels). Two frames: two channels of
// 768 samples, and the largest frame, CH1, CH2 and logic of 3840 samples,
// in roll mode so that the wrap is paid as well. It also counts heap
// allocations made inside the timed loop, which should be none.
//
// Repeat with: cmake --build <build> --target bench_tracebuilder && <build>/bench/bench_tracebuilder
// Optional argument: frames per case (default 3000). Figures are wall time on
// a shared machine; compare medians, and read the 95th percentile as noise.

#include "core/device/frames.h"
#include "core/scope/fft.h"
#include "core/scope/tracebuilder.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace {
std::atomic<long> allocations{0};
}

void *operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

QByteArray makeFrame(uint8_t mask, int n, uint16_t roll, quint32 seed)
{
    QByteArray f(Frames::scopeFrameLength(mask, n), '\0');
    f[0] = 'A';
    f[3] = char(mask);
    f[4] = char(mask & 3);
    f[5] = char(n & 0xFF);
    f[6] = char(n >> 8);
    f[7] = 8;
    f[8] = char(roll & 0xFF);
    f[9] = char(roll >> 8);
    QRandomGenerator rng(seed);
    for (int i = 10; i < f.size(); ++i)
        f[i] = char(rng.bounded(256));
    return f;
}

struct Figures {
    double median;
    double p95;
    long allocations; // in the whole timed loop
};

template <typename Work> Figures measure(int frames, Work work)
{
    for (int i = 0; i < 50; ++i) // warm caches and first-use storage
        work(i);
    std::vector<double> micros(size_t(frames), 0.0);
    const long before = allocations.load();
    QElapsedTimer timer;
    for (int i = 0; i < frames; ++i) {
        timer.start();
        work(i);
        micros[size_t(i)] = timer.nsecsElapsed() / 1000.0;
    }
    const long made = allocations.load() - before;
    std::sort(micros.begin(), micros.end());
    return {micros[micros.size() / 2], micros[micros.size() * 95 / 100], made};
}

void report(const char *name, const Figures &f)
{
    std::printf("%-48s median %8.1f us   p95 %8.1f us   allocations %ld\n", name, f.median, f.p95,
                f.allocations);
}

void runCase(const char *label, uint8_t mask, int n, bool roll, int frames)
{
    // Two alternating frames, so every tick really rewrites its vectors.
    const QByteArray a = makeFrame(mask, n, uint16_t(n / 3), 1);
    const QByteArray b = makeFrame(mask, n, uint16_t(n / 3), 2);
    const auto *fa = reinterpret_cast<const unsigned char *>(a.constData());
    const auto *fb = reinterpret_cast<const unsigned char *>(b.constData());
    TraceSettings settings;
    settings.ch1Position = -120;
    settings.chdPosition = 8;
    settings.rollMode = roll;

    TraceBuilder builder;
    const QByteArray title = QByteArray(label) + " trace build";
    report(title.constData(),
           measure(frames, [&](int i) { builder.build(i & 1 ? fb : fa, a.size(), settings); }));

    PersistenceHistory history;
    ReferenceStore references;
    SpectrumBuilder spectrum;
    spectrum.setWindow(FftWindow::Hann);
    builder.build(fa, a.size(), settings);
    references.capture(builder);
    SpectrumSettings both;
    both.ch2 = true;
    volatile double sink = 0;
    const QByteArray tickTitle = QByteArray(label) + " whole tick";
    report(tickTitle.constData(), measure(frames, [&](int i) {
               const unsigned char *f = i & 1 ? fb : fa;
               builder.build(f, a.size(), settings);
               history.update(8, builder);
               sink = sink + references.displayCh1(16).value(0) + references.displayCh2(16).value(0);
               for (int bit = 0; bit < TraceBuilder::logicBits; ++bit)
                   sink = sink + references.displayLogic(bit, 0).value(0);
               spectrum.computeFromFrame(f, a.size(), both);
           }));
}

} // namespace

int main(int argc, char **argv)
{
    const int frames = argc > 1 ? std::max(100, std::atoi(argv[1])) : 3000;
    std::printf("bench_tracebuilder: %d frames per case\n", frames);
    runCase("CH1+CH2, 768 samples:", Frames::Ch1 | Frames::Ch2, 768, false, frames);
    runCase("CH1+CH2+logic, 3840 samples, roll:", Frames::Ch1 | Frames::Ch2 | Frames::Chd, 3840, true,
            frames);
    return 0;
}
