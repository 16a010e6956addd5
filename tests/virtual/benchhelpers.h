// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The virtual instrument's tests share a bench on the test clock and frames taken apart by their layout.

#include "device/virtual/virtualinstrument.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

struct TestBench {
    VirtualInstrument vi;
    int64_t lastFrameAt = 0;

    TestBench() { vi.useTestClock(true); }

    int write(int entry, int value) { return vi.control(0x41, uint16_t(entry), uint16_t(value), nullptr, 0); }
    // Several entries in the order given.
    void set(std::initializer_list<std::pair<int, int>> entries)
    {
        for (const auto &e : entries)
            write(e.first, e.second);
    }
    int run(int index) { return vi.control(0x44, uint16_t(index), 0, nullptr, 0); }
    void frequency(uint32_t centiHz) { vi.control(0x46, uint16_t(centiHz & 0xFFFF), uint16_t(centiHz >> 16), nullptr, 0); }
    void calibrateAdc() { vi.control(0x43, 3, 0, nullptr, 0); }

    // Polls like the event thread (every `stepUs`) until a frame comes or
    // `limitUs` has passed on the test clock.
    QByteArray frame(int64_t limitUs = 5000000, int stepUs = 1000)
    {
        std::vector<unsigned char> buffer(16384);
        for (int64_t waited = 0; waited <= limitUs; waited += stepUs) {
            const int n = vi.takeFrame(buffer.data(), int(buffer.size()));
            if (n > 0) {
                lastFrameAt = vi.nowMicroseconds();
                return QByteArray(reinterpret_cast<const char *>(buffer.data()), n);
            }
            vi.advanceClock(stepUs);
        }
        return QByteArray();
    }

    QByteArray meterRead()
    {
        QByteArray data(36, '\0');
        return vi.control(0x47, 1, 0, reinterpret_cast<unsigned char *>(data.data()), 36) == 36 ? data : QByteArray();
    }
};

inline int le16(const unsigned char *u) { return u[0] | (u[1] << 8); }

// A scope frame taken apart.
struct ScopeFrame {
    bool valid = false;
    int mask = 0, samples = 0, samplingIndex = 0;
    std::vector<int> ch[2]; // the logic block is skipped
    QByteArray meter;       // 36 bytes

    explicit ScopeFrame(const QByteArray &f)
    {
        if (f.size() < 48 || f[0] != 'A')
            return;
        const auto *u = reinterpret_cast<const unsigned char *>(f.constData());
        mask = u[3];
        samples = le16(u + 5);
        samplingIndex = u[7];
        int offset = 10;
        for (int c = 0; c < 3; ++c) {
            if (!(mask & (1 << c)))
                continue;
            if (offset + samples > f.size())
                return;
            for (int i = 0; c < 2 && i < samples; ++i)
                ch[c].push_back(int8_t(u[offset + i]));
            offset += samples;
        }
        meter = f.mid(offset, 36);
        valid = f.size() == offset + 38;
    }
};

struct MeterBlock {
    int gain, maximum, minimum, rms, average, zeroFirst, zeroSecond;
    uint32_t period;

    MeterBlock(const QByteArray &m, int channel)
    {
        const auto *u = reinterpret_cast<const unsigned char *>(m.constData()) + 18 * channel;
        gain = u[1];
        maximum = int8_t(u[3]);
        minimum = int8_t(u[4]);
        rms = int16_t(le16(u + 5));
        average = int16_t(le16(u + 7));
        period = uint32_t(le16(u + 9)) | (uint32_t(le16(u + 11)) << 16);
        zeroFirst = le16(u + 13);
        zeroSecond = le16(u + 15);
    }
};

// Samples per second at a sampling index: 16 per division of the time base.
inline double ratePerSecond(int index)
{
    static const double secondsPerDivision[22] = {8e-6, 16e-6, 32e-6, 64e-6, 128e-6, 256e-6, 500e-6, 1e-3,
                                                  2e-3, 5e-3,  10e-3, 20e-3, 50e-3, 0.1,    0.2,    0.5,
                                                  1,    2,     5,     10,    20,    50};
    return 16.0 / secondsPerDivision[index];
}

// The frequency a 72 MHz timer stepping through n DAC samples produces.
inline double dacFrequency(double wantedHz, int n)
{
    const double divider = qMax(1.0, double(qRound64(72e6 / (n * wantedHz))));
    return 72e6 / (n * divider);
}
