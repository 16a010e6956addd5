// SPDX-License-Identifier: GPL-3.0-only
#include "device/virtual/virtualinstrument.h"

#include "device/virtual/virtualacquisition.h"
#include "device/virtual/virtualcounter.h"
#include "device/virtual/virtualgenerator.h"
#include "device/virtual/virtualsniffer.h"

#include "base/logging.h"
#include "core/persistence/datafiles.h"
#include "core/persistence/qxmlputget.h"

#include <libusb.h>

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace VA = VirtualAcquisition;

namespace {
const char identificationText[] = "VSIM.2.7 Velto virtual bench";
constexpr int entryCount = 128;
constexpr int usedEntries = 36;
constexpr int memoryBlocks = 48;
constexpr int64_t ms = 1000000;       // nanoseconds
constexpr double pipeBytesPerSecond = 1.1e6;
constexpr int64_t minimumFrameGapNs = 2 * ms;
constexpr int64_t rollFrameGapNs = 50 * ms;
constexpr int64_t snifferFrameGapNs = 50 * ms;

// The bench's UART talks in the format its device information file gives
// (element "uart", attribute "format", such as "9600 8N1"), else in 9600 8N1.
VirtualSniffer::UartFormat benchUartFormat()
{
    VirtualSniffer::UartFormat format;
    const QString path = locateDataFile(QStringLiteral("vsim.xml"));
    QXmlGet xml;
    if (path.isEmpty() || !xml.load(path) || !xml.find(QStringLiteral("uart")))
        return format;
    const QString text = xml.getAttributeString(QStringLiteral("format"));
    if (!VirtualSniffer::parseUartFormat(text.toStdString(), format))
        VELTO_LOG(QStringLiteral("Virtual bench: UART format \"%1\" in %2 not understood (a baud rate, then data bits "
                                 "5 to 9, parity N, E or O and 1 or 2 stop bits, as \"9600 8N1\"); it talks 9600 8N1")
                      .arg(text, path),
                  2);
    return format;
}

// What drives the logic inputs: element "logic", attribute "wiring" of the
// device information file ("counter", the default, or "bus"); the
// environment's VELTO_VSIM=bus or VELTO_VSIM=counter overrides it.
VA::LogicWiring benchLogicWiring()
{
    QString word = qEnvironmentVariable("VELTO_VSIM");
    QString from = QStringLiteral("VELTO_VSIM");
    if (word.isEmpty()) {
        const QString path = locateDataFile(QStringLiteral("vsim.xml"));
        QXmlGet xml;
        if (path.isEmpty() || !xml.load(path) || !xml.find(QStringLiteral("logic")))
            return VA::LogicWiring::Counter;
        word = xml.getAttributeString(QStringLiteral("wiring"));
        from = path;
    }
    if (word == QLatin1String("bus"))
        return VA::LogicWiring::Bus;
    if (word != QLatin1String("counter"))
        VELTO_LOG(QStringLiteral("Virtual bench: logic wiring \"%1\" in %2 not understood (\"counter\" or \"bus\"); "
                                 "the counter drives the logic inputs")
                      .arg(word, from),
                  2);
    return VA::LogicWiring::Counter;
}

int16_t low16(int32_t v) { return int16_t(uint16_t(uint32_t(v))); }
int8_t low8(int32_t v) { return int8_t(uint8_t(uint32_t(v))); }

// What the firmware keeps of a written value: the width the entry travels
// in, with its sign where it has one, clamped to the entry's range.
int32_t sanitizeEntry(int index, int32_t v)
{
    switch (index) {
    case 0: return std::clamp<int32_t>(v, 0, 7);
    case 1: return std::clamp<int32_t>(v, 0, VA::samplingIndexCount - 1);
    case 2: return v & 1;
    case 3: case 4: case 5: case 6: case 7: case 10: case 11: case 12: case 15: case 20: case 22: case 26:
    case 27: case 28:
        return v & 0xFF;
    case 8: case 9: return std::clamp<int32_t>(v, 0, 11);
    case 13: case 14: return std::clamp<int32_t>(v, 0, VA::gainCount - 1);
    case 16: return std::clamp<int32_t>(v, 0, 15 * 256);
    case 17: case 18: case 19: return std::clamp<int32_t>(low16(v), -128, 127);
    case 21: return std::clamp<int32_t>(v, 0, 3);
    case 23: return std::clamp<int32_t>(v, 0, 2);
    case 24: return std::clamp<int32_t>(v, 1, 2);
    case 25: return std::clamp<int32_t>(v, 1, 15);
    case 29: return std::clamp<int32_t>(v, 1, 127);
    case 30: return std::clamp<int32_t>(v, 0, 232);
    case 31: return std::clamp<int32_t>(v, 0, 7);
    case 32: return std::clamp<int32_t>(v, 1, 255);
    case 33: return std::clamp<int32_t>(low8(v), -127, 127);
    case 34: return std::clamp<int32_t>(v, 48, 12500000);
    case 35: return std::clamp<int32_t>(low16(v), -29696, 29696);
    default: return v;
    }
}

int enabledChannels(const int32_t *c)
{
    return (c[3] & 1) + (c[4] & 1) + (c[5] & 1);
}

int generatorBlocks(const int32_t *c)
{
    return (c[2] & 1) ? 2 * std::clamp<int32_t>(c[24], 1, 2) : 0;
}

// Acquisition blocks per channel that fit beside the generator.
int fittingBlocks(const int32_t *c)
{
    const int channels = enabledChannels(c);
    if (channels == 0)
        return 15;
    return std::clamp((memoryBlocks - generatorBlocks(c)) / channels, 0, 15);
}

bool memoryFits(const int32_t *c)
{
    return enabledChannels(c) * std::clamp<int32_t>(c[25], 1, 15) + generatorBlocks(c) <= memoryBlocks;
}
} // namespace

struct VirtualInstrument::State {
    QElapsedTimer wall;
    bool testClock = false;
    int64_t testNow = 0;
    bool attached = true;
    ControlFault controlFault = ControlFault::None;
    int controlFaultsLeft = 0;
    FrameFault frameFault = FrameFault::None;
    IdentificationFault identificationFault = IdentificationFault::None;
    uint8_t health = 0x0F;
    int32_t config[entryCount] = {};

    // The last bulk OUT payload, until a commit says what it was.
    std::vector<unsigned char> pendingBulk;
    // The custom waveform: the stored table survives a disconnect; the upload
    // collects two halves while entry 10 bit 4 is set.
    uint16_t customTable[512] = {};
    unsigned char upload[1024] = {};
    bool uploadHalf[2] = {false, false};

    VirtualGenerator generator;
    double adcOffsetCodes = 0.7;
    int dacOffsetSteps = 0;
    int dacGainSteps = 0;

    // Scope.
    bool scopeRunning = false;
    bool forceRequested = false;
    uint16_t frameNumber = 0;
    int64_t nextSendNs = 0;
    int64_t armedNs = 0;        // when the current acquisition started
    int64_t rearmSample = 0;    // first sample of the current acquisition
    int64_t scanSample = 0;     // next sample the trigger search looks at
    int64_t lastTrigger = INT64_MIN / 2;
    bool triggerPending = false;
    int64_t pendingTrigger = 0;
    int64_t lastRollNs = INT64_MIN / 2;
    int64_t rollArmSample = 0;
    int64_t samplePeriod = VA::samplePeriodNs(8);
    bool schmittHigh = false;
    VA::TriggerDetector detector;
    bool meterValid = false;
    unsigned char lastMeter[36] = {};
    // Four acquisitions per channel for averaging.
    std::vector<int8_t> history[2][4];
    int historyCount[2] = {0, 0};
    int historyNext[2] = {0, 0};

    // Counter.
    bool counterRunning = false;
    bool counterStarted = false;
    int64_t counterStartNs = 0;
    int64_t counterStopNs = 0;

    // Sniffer.
    VirtualSniffer sniffer;
    uint16_t snifferFrameNumber = 0;
    int64_t lastSnifferFrameNs = INT64_MIN / 2;

    // Scratch for building blocks, kept to avoid allocating per frame.
    std::vector<float> v1, v2, work;
    std::vector<int8_t> codes1, codes2, scan;
    std::vector<uint8_t> logic;
    VA::LogicWiring wiring = VA::LogicWiring::Counter;

    int64_t now() const { return testClock ? testNow : wall.nsecsElapsed() / 1000; }
    int64_t nowNs() const { return now() * 1000; }

    int samples() const { return 256 * std::clamp<int32_t>(config[25], 1, 15); }
    int samplingIndex() const { return std::clamp<int32_t>(config[1], 0, VA::samplingIndexCount - 1); }
    bool rollActive() const { return (config[10] & 1) && samplingIndex() >= 11; }
    uint8_t channelMask() const { return uint8_t((config[3] & 1) | ((config[4] & 1) << 1) | ((config[5] & 1) << 2)); }

    void resetConfiguration();
    void applyGenerator();
    void rearm(bool settingsChanged);
    bool writeEntry(int index, int32_t value);
    void afterWrite(int index);
    void ensureScratch(int count);
    void acquire(int64_t first, int count, uint8_t mask, bool forRoll);
    void computeSourceBlock(int source, int64_t first, int count);
    bool searchTrigger(int64_t kNow);
    int buildScopeFrame(unsigned char *buffer, int capacity, int64_t first, bool roll, int64_t kEnd);
    void measureInto(unsigned char *destination, uint8_t mask);
    void counterBlocks(unsigned char *destination);
    VirtualSniffer::Settings snifferSettings() const;
    int applyFrameFault(unsigned char *buffer, int length, int capacity);
};

void VirtualInstrument::State::resetConfiguration()
{
    std::fill(std::begin(config), std::end(config), 0);
    config[1] = 8;        // 2 ms/div
    config[3] = 1;        // CH1 and CH2 traced
    config[4] = 1;
    config[7] = 0x81;     // free running, rising edge
    config[13] = 1;
    config[16] = 384;
    config[18] = -20;
    config[19] = 20;
    config[24] = 1;
    config[25] = 3;       // 768 samples until told otherwise
    config[27] = 0;
    config[28] = 255;
    config[29] = 1;
    config[30] = 116;
    config[32] = 128;
    config[34] = 100000;  // 1 kHz
    config[21] = 2;
    config[22] = 3 * 8 + 3;
}

void VirtualInstrument::State::applyGenerator()
{
    GeneratorSettings g;
    g.enabled = config[2] & 1;
    g.waveform = config[31];
    g.amplitude = config[30];
    g.offset = config[33];
    g.duty = config[32];
    g.constantLevel = config[35];
    g.frequencyCentiHz = config[34];
    g.dacBlocks = config[24];
    g.sweepType = config[26];
    g.sweepStart = config[27];
    g.sweepEnd = config[28];
    g.sweepSpeed = config[29];
    g.offsetSteps = dacOffsetSteps;
    g.gainSteps = dacGainSteps;
    generator.configure(g, customTable);
}

void VirtualInstrument::State::rearm(bool settingsChanged)
{
    const int64_t t = nowNs();
    samplePeriod = VA::samplePeriodNs(samplingIndex());
    armedNs = t;
    rearmSample = t / samplePeriod + 1;
    scanSample = rearmSample;
    triggerPending = false;
    const int source = std::clamp<int32_t>(config[8], 0, 11);
    detector.setup(VA::triggerTypeFromControl(config[7]), source >= 2, config[17], config[18], config[19]);
    if (settingsChanged) {
        rollArmSample = rearmSample; // a new rate or size starts an empty ring
        lastTrigger = INT64_MIN / 2;
        historyCount[0] = historyCount[1] = 0;
        historyNext[0] = historyNext[1] = 0;
        meterValid = false;
    }
}

// A single entry from 0x41, 0x42 or 0x46. Returns false when the index is
// not one the instrument knows.
bool VirtualInstrument::State::writeEntry(int index, int32_t value)
{
    if (index < 0 || index >= usedEntries)
        return false;
    const int32_t previous10 = config[10];
    config[index] = sanitizeEntry(index, value);
    if (index == 10 && (previous10 & 0x10) && !(config[10] & 0x10)) {
        // Saving ends: two complete halves become the stored waveform.
        if (uploadHalf[0] && uploadHalf[1]) {
            for (int i = 0; i < 512; ++i)
                customTable[i] = uint16_t(upload[2 * i] | (upload[2 * i + 1] << 8));
        }
        uploadHalf[0] = uploadHalf[1] = false;
    }
    return true;
}

void VirtualInstrument::State::afterWrite(int index)
{
    if (!memoryFits(config))
        config[25] = std::max(1, fittingBlocks(config)); // never more memory than there is
    if (index < 0 || index == 2 || index == 10 || (index >= 24 && index <= 35))
        applyGenerator();
    if (index < 0 || (index >= 1 && index <= 20) || index == 25)
        rearm(true);
    if (config[0] != 1 && sniffer.running())
        sniffer.stop(nowNs());
    if (sniffer.running() && (index < 0 || index == 10 || index == 12 || (index >= 21 && index <= 23)))
        sniffer.reconfigure(snifferSettings(), nowNs());
}

VirtualSniffer::Settings VirtualInstrument::State::snifferSettings() const
{
    VirtualSniffer::Settings s;
    s.protocol = config[21];
    s.options = config[12];
    s.uart = config[22];
    s.strobe = config[23];
    s.single = config[10] & 4;
    return s;
}

void VirtualInstrument::State::ensureScratch(int count)
{
    if (int(v1.size()) < count) {
        v1.resize(size_t(count));
        v2.resize(size_t(count));
        work.resize(size_t(count));
        codes1.resize(size_t(count));
        codes2.resize(size_t(count));
        scan.resize(size_t(count));
        logic.resize(size_t(count));
    }
}

// Samples first … first + count − 1 of the channels in `mask` into the scratch
// blocks, before averaging.
void VirtualInstrument::State::acquire(int64_t first, int count, uint8_t mask, bool forRoll)
{
    ensureScratch(count);
    const uint8_t c1 = uint8_t(config[3]);
    const uint8_t c2 = uint8_t(config[4]);
    const bool needCh1 = (mask & 1) || ((mask & 2) && (c2 & 0x10));
    const bool needCh2 = (mask & 2) || ((mask & 1) && (c1 & 0x10));
    const double dt = double(samplePeriod) * 1e-9;
    if (needCh1)
        generator.fill(double(first) * dt, dt, count, v1.data());
    if (needCh2)
        VA::probeBlock(first, samplePeriod, count, v2.data());
    if (mask & 1)
        VA::analogCodes(0, {c1, int(config[13]), adcOffsetCodes}, v1.data(), v2.data(), count, work.data(),
                        codes1.data());
    if (mask & 2)
        VA::analogCodes(1, {c2, int(config[14]), adcOffsetCodes}, v1.data(), v2.data(), count, work.data(),
                        codes2.data());
    if (mask & 4)
        VA::logicBlock(first, samplePeriod, count, config[5] & 4, logic.data(), wiring);
    if (forRoll) {
        // A freshly started ring holds nothing older than the start.
        const int64_t blank = std::clamp<int64_t>(rollArmSample - first, 0, count);
        std::fill(codes1.begin(), codes1.begin() + blank, int8_t(0));
        std::fill(codes2.begin(), codes2.begin() + blank, int8_t(0));
        std::fill(logic.begin(), logic.begin() + blank, uint8_t(0));
    }
}

// The trigger source's values for samples first … first + count − 1 in `scan`
// (codes, or 0/1 for the digital inputs).
void VirtualInstrument::State::computeSourceBlock(int source, int64_t first, int count)
{
    ensureScratch(count);
    const double dt = double(samplePeriod) * 1e-9;
    if (source <= 1) {
        const uint8_t c = uint8_t(config[3 + source]);
        const bool math = c & 0x10;
        if (source == 0 || math)
            generator.fill(double(first) * dt, dt, count, v1.data());
        if (source == 1 || math)
            VA::probeBlock(first, samplePeriod, count, v2.data());
        VA::analogCodes(source, {c, int(config[13 + source]), adcOffsetCodes}, v1.data(), v2.data(), count,
                        work.data(), scan.data());
        return;
    }
    if (source <= 9) {
        VA::logicBlock(first, samplePeriod, count, config[5] & 4, logic.data(), wiring);
        const int bit = source - 2;
        for (int i = 0; i < count; ++i)
            scan[size_t(i)] = int8_t((logic[size_t(i)] >> bit) & 1);
        return;
    }
    if (source == 10) {
        generator.fill(double(first) * dt, dt, count, v1.data());
        for (int i = 0; i < count; ++i)
            scan[size_t(i)] = v1[size_t(i)] > 0.0f ? 1 : 0;
        return;
    }
    VA::probeBlock(first, samplePeriod, count, v2.data());
    for (int i = 0; i < count; ++i) {
        const float v = v2[size_t(i)];
        if (schmittHigh && v < 0.8f)
            schmittHigh = false;
        else if (!schmittHigh && v > 1.2f)
            schmittHigh = true;
        scan[size_t(i)] = schmittHigh ? 1 : 0;
    }
}

// Looks for the trigger among the samples acquired since the last look.
bool VirtualInstrument::State::searchTrigger(int64_t kNow)
{
    if (triggerPending)
        return true;
    const int n = samples();
    const int post = std::clamp<int32_t>(config[16], 1, n);
    const int pre = n - post;
    const int source = std::clamp<int32_t>(config[8], 0, 11);
    const int64_t holdoff = (int64_t(config[15]) * ms + samplePeriod - 1) / samplePeriod;
    int64_t from = std::max({scanSample, rearmSample + pre, lastTrigger + holdoff});
    // After a long pause of the clock only the recent past is searched.
    const int64_t window = std::max<int64_t>(4 * n, 200000);
    if (kNow - from > window)
        from = kNow - window;
    if (from != scanSample)
        detector.reset();
    for (int64_t k = from; k <= kNow;) {
        const int count = int(std::min<int64_t>(4096, kNow - k + 1));
        computeSourceBlock(source, k, count);
        for (int i = 0; i < count; ++i) {
            if (detector.feed(k + i, scan[size_t(i)])) {
                pendingTrigger = k + i;
                triggerPending = true;
                scanSample = k + i + 1;
                return true;
            }
        }
        k += count;
        scanSample = k;
    }
    return false;
}

int VirtualInstrument::State::buildScopeFrame(unsigned char *buffer, int capacity, int64_t first, bool roll,
                                              int64_t kEnd)
{
    const int n = samples();
    const uint8_t mask = channelMask();
    const int k = (mask & 1) + ((mask >> 1) & 1) + ((mask >> 2) & 1);
    const int length = 48 + k * n;
    if (length > capacity)
        return 0;
    acquire(first, n, mask, roll);

    // Averaging keeps the last four acquisitions of a channel.
    for (int ch = 0; ch < 2 && !roll; ++ch) {
        if (!(mask & (1 << ch)) || !(config[3 + ch] & 0x08))
            continue;
        std::vector<int8_t> &codes = ch == 0 ? codes1 : codes2;
        std::vector<int8_t> &slot = history[ch][historyNext[ch]];
        slot.assign(codes.begin(), codes.begin() + n);
        historyNext[ch] = (historyNext[ch] + 1) % 4;
        historyCount[ch] = std::min(historyCount[ch] + 1, 4);
        for (int i = 0; i < n; ++i) {
            int sum = 0;
            for (int h = 0; h < historyCount[ch]; ++h)
                sum += history[ch][h][size_t(i)];
            codes[size_t(i)] = int8_t(std::lround(double(sum) / historyCount[ch]));
        }
    }

    unsigned char *out = buffer;
    out[0] = 'A';
    ++frameNumber;
    out[1] = uint8_t(frameNumber);
    out[2] = uint8_t(frameNumber >> 8);
    out[3] = mask;
    out[4] = mask & 3;
    out[5] = uint8_t(n);
    out[6] = uint8_t(n >> 8);
    out[7] = uint8_t(samplingIndex());
    const int rollStart = roll ? int((((kEnd + 1) % n) + n) % n) : 0;
    out[8] = uint8_t(rollStart);
    out[9] = uint8_t(rollStart >> 8);
    int offset = 10;
    // In roll mode sample k sits at k mod n of the ring; `first` is the oldest.
    const int shift = roll ? int(((first % n) + n) % n) : 0;
    auto place = [&](const auto *block) {
        for (int i = 0; i < n; ++i)
            out[offset + (i + shift) % n] = uint8_t(block[i]);
        offset += n;
    };
    if (mask & 1)
        place(codes1.data());
    if (mask & 2)
        place(codes2.data());
    if (mask & 4)
        place(logic.data());

    // Meter blocks over the blocks as sent, in buffer order.
    const uint8_t si = uint8_t(samplingIndex());
    for (int ch = 0; ch < 2; ++ch) {
        VA::Measurement m;
        if (mask & (1 << ch)) {
            const int blockOffset = 10 + (ch == 1 && (mask & 1) ? n : 0);
            m = VA::measure(reinterpret_cast<const int8_t *>(out + blockOffset), n);
        }
        VA::writeMeterBlock(out + offset + 18 * ch, uint8_t(config[3 + ch]), uint8_t(config[13 + ch]), m, si);
    }
    std::memcpy(lastMeter, out + offset, 36);
    meterValid = true;
    out[offset + 36] = 0;
    out[offset + 37] = 0;
    return length;
}

// A fresh acquisition of the latest block, measured: the meter pages' read.
void VirtualInstrument::State::measureInto(unsigned char *destination, uint8_t mask)
{
    const int n = samples();
    samplePeriod = VA::samplePeriodNs(samplingIndex());
    const int64_t kNow = nowNs() / samplePeriod;
    acquire(kNow - n + 1, n, mask & 3, false);
    for (int ch = 0; ch < 2; ++ch) {
        VA::Measurement m;
        if (mask & (1 << ch))
            m = VA::measure(ch == 0 ? codes1.data() : codes2.data(), n);
        VA::writeMeterBlock(destination + 18 * ch, uint8_t(config[3 + ch]), uint8_t(config[13 + ch]), m,
                            uint8_t(samplingIndex()));
    }
}

void VirtualInstrument::State::counterBlocks(unsigned char *destination)
{
    const double t = double(nowNs()) * 1e-9;
    const bool bus = wiring == VA::LogicWiring::Bus;
    const VirtualCounter::Input source = VirtualCounter::input(config[8], generator, t, bus);
    uint32_t c1 = 0;
    uint32_t c2 = 0;
    switch (config[0]) {
    case 4:
        c1 = VirtualCounter::frequencyCount(source, t, config[11] & 1);
        break;
    case 5:
        if (counterStarted) {
            const double from = double(counterStartNs) * 1e-9;
            const double to = counterRunning ? t : double(counterStopNs) * 1e-9;
            c1 = uint32_t(std::max<int64_t>(0, VirtualCounter::risingEdges(source, from, to)));
        }
        break;
    case 6:
        VirtualCounter::periodTicks(source, t, c1, c2);
        break;
    case 7:
        if (config[9] >= 2)
            c1 = VirtualCounter::gatedCount(source, VirtualCounter::input(config[9], generator, t, bus), t);
        break;
    default:
        break;
    }
    VA::Measurement m1;
    VA::Measurement m2;
    m1.periodX100 = c1;
    m2.periodX100 = c2;
    VA::writeMeterBlock(destination, uint8_t(config[3]), uint8_t(config[13]), m1, uint8_t(samplingIndex()));
    VA::writeMeterBlock(destination + 18, uint8_t(config[4]), uint8_t(config[14]), m2, uint8_t(samplingIndex()));
}

int VirtualInstrument::State::applyFrameFault(unsigned char *buffer, int length, int capacity)
{
    if (frameFault == FrameFault::None)
        return length;
    const FrameFault fault = frameFault;
    frameFault = FrameFault::None;
    if (fault == FrameFault::Short)
        return std::max(1, length - 17);
    if (fault == FrameFault::Long && length + 9 <= capacity) {
        std::memset(buffer + length, 0, 9);
        return length + 9;
    }
    if (fault == FrameFault::WrongHeader)
        buffer[0] = 'Z';
    return length;
}

VirtualInstrument::VirtualInstrument() : d(new State)
{
    d->wall.start();
    powerCycle();
    d->sniffer.setBenchUart(benchUartFormat());
    d->wiring = benchLogicWiring();
}

VirtualInstrument::~VirtualInstrument()
{
    delete d;
}

void VirtualInstrument::useTestClock(bool on)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (on && !d->testClock)
        d->testNow = d->wall.nsecsElapsed() / 1000;
    d->testClock = on;
}

bool VirtualInstrument::usingTestClock() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->testClock;
}

void VirtualInstrument::advanceClock(int64_t microseconds)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->testNow += std::max<int64_t>(0, microseconds);
}

int64_t VirtualInstrument::nowMicroseconds() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->now();
}

void VirtualInstrument::powerCycle()
{
    std::lock_guard<std::mutex> lock(mutex);
    d->resetConfiguration();
    d->pendingBulk.clear();
    d->uploadHalf[0] = d->uploadHalf[1] = false;
    d->adcOffsetCodes = 0.7;
    d->dacOffsetSteps = 0;
    d->dacGainSteps = 0;
    d->scopeRunning = false;
    d->forceRequested = false;
    d->frameNumber = 0;
    d->snifferFrameNumber = 0;
    d->nextSendNs = 0;
    d->counterRunning = false;
    d->counterStarted = false;
    d->sniffer.stop(d->nowNs());
    d->sniffer.clear();
    d->applyGenerator();
    d->rearm(true);
}

int VirtualInstrument::confirmedWrite(uint16_t index, uint16_t value, unsigned char *data, int length)
{
    // Status and block count: without room for both the request stalls
    // and nothing is applied.
    if (length < 2 || index >= usedEntries)
        return LIBUSB_ERROR_PIPE;
    int32_t trial[entryCount];
    std::copy(std::begin(d->config), std::end(d->config), trial);
    trial[index] = sanitizeEntry(index, value);
    if (!memoryFits(trial)) {
        data[0] = 1;
        data[1] = uint8_t(std::max(1, fittingBlocks(trial)));
        return 2;
    }
    d->writeEntry(index, value);
    d->afterWrite(index);
    data[0] = 0;
    data[1] = uint8_t(fittingBlocks(d->config));
    return 2;
}

int VirtualInstrument::calibrate(uint16_t index, uint16_t value)
{
    switch (index) {
    case 0:
    case 1: {
        int &steps = index == 0 ? d->dacOffsetSteps : d->dacGainSteps;
        if (value == 1)
            steps = std::min(steps + 1, 500);
        else if (value == 0xFFFF)
            steps = std::max(steps - 1, -500);
        else if (value != 0)
            return LIBUSB_ERROR_PIPE;
        d->applyGenerator();
        return 0;
    }
    case 2:
        d->adcOffsetCodes = 0.7;
        return 0;
    case 3:
        d->adcOffsetCodes = 0.0;
        return 0;
    default:
        return LIBUSB_ERROR_PIPE;
    }
}

int VirtualInstrument::runControl(uint16_t index, int64_t now)
{
    switch (index) {
    case 0:
        d->counterRunning = true;
        d->counterStarted = true;
        d->counterStartNs = now;
        return 0;
    case 1:
        if (d->counterRunning) {
            d->counterRunning = false;
            d->counterStopNs = now;
        }
        return 0;
    case 2:
        d->scopeRunning = true;
        d->forceRequested = false;
        d->rearm(false);
        d->rollArmSample = d->rearmSample;
        d->lastRollNs = now - rollFrameGapNs; // the first roll frame is due at once
        return 0;
    case 3:
        d->scopeRunning = false;
        return 0;
    case 4:
        d->forceRequested = true;
        return 0;
    case 5:
        if (d->config[0] == 1) {
            d->sniffer.start(d->snifferSettings(), now);
            d->lastSnifferFrameNs = now;
        }
        return 0;
    case 6:
        d->sniffer.stop(now);
        return 0;
    case 7:
        d->sniffer.advance(now);
        d->sniffer.clear();
        return 0;
    default:
        return LIBUSB_ERROR_PIPE;
    }
}

int VirtualInstrument::commitBlock(uint16_t index)
{
    if (index > 2)
        return LIBUSB_ERROR_PIPE;
    if (d->pendingBulk.size() != 512)
        return LIBUSB_ERROR_PIPE; // nothing, or not a whole block, to commit
    if (index == 2) {
        for (int i = 0; i < entryCount; ++i) {
            const unsigned char *p = d->pendingBulk.data() + 4 * i;
            const int32_t v = int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                                      (uint32_t(p[3]) << 24));
            if (i < usedEntries)
                d->writeEntry(i, v);
            else
                d->config[i] = v;
        }
        d->pendingBulk.clear();
        d->afterWrite(-1);
        return 0;
    }
    if (!(d->config[10] & 0x10))
        return LIBUSB_ERROR_PIPE; // waveform halves only while saving
    std::memcpy(d->upload + 512 * index, d->pendingBulk.data(), 512);
    d->uploadHalf[index] = true;
    d->pendingBulk.clear();
    return 0;
}

int VirtualInstrument::readBlock(uint16_t index, unsigned char *data, int length)
{
    unsigned char block[64] = {};
    int size = 0;
    switch (index) {
    case 0: {
        size = d->identificationFault == IdentificationFault::WrongLength ? 32 : 64;
        const char *text = d->identificationFault == IdentificationFault::UnknownModel ? "XQ99.1.1 unknown"
                                                                                      : identificationText;
        std::memcpy(block, text, std::min<size_t>(size_t(size), std::strlen(text)));
        break;
    }
    case 1:
        size = 36;
        if (d->config[0] >= 4)
            d->counterBlocks(block);
        else if (d->config[0] == 0 && d->scopeRunning && d->meterValid)
            std::memcpy(block, d->lastMeter, 36);
        else
            d->measureInto(block, d->channelMask());
        break;
    case 2:
        size = 1;
        block[0] = d->health;
        break;
    case 3:
        size = 1;
        block[0] = memoryBlocks - enabledChannels(d->config) * std::clamp<int32_t>(d->config[25], 1, 15) >= 4
                       ? 2 : 1;
        break;
    case 4:
        size = 1;
        block[0] = uint8_t(fittingBlocks(d->config));
        break;
    case 5: {
        size = 4;
        const uint32_t centiHz = uint32_t(std::lround(d->generator.producedFrequency() * 100.0));
        for (int b = 0; b < 4; ++b)
            block[b] = uint8_t(centiHz >> (8 * b));
        break;
    }
    default:
        return LIBUSB_ERROR_PIPE;
    }
    // A short request gets as much as it asked for, as on the wire.
    const int n = std::min(size, length);
    if (n > 0)
        std::memcpy(data, block, size_t(n));
    return n;
}

int VirtualInstrument::control(uint8_t request, uint16_t index, uint16_t value, unsigned char *data, int length)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!d->attached)
        return LIBUSB_ERROR_NO_DEVICE;
    if (d->controlFault != ControlFault::None) {
        const ControlFault fault = d->controlFault;
        if (--d->controlFaultsLeft <= 0)
            d->controlFault = ControlFault::None;
        return fault == ControlFault::Timeout ? LIBUSB_ERROR_TIMEOUT : LIBUSB_ERROR_PIPE;
    }
    if (length < 0 || (length > 0 && !data))
        return LIBUSB_ERROR_PIPE;
    const int64_t now = d->nowNs();
    switch (request) {
    case 0x41:
        if (!d->writeEntry(index, value))
            return LIBUSB_ERROR_PIPE;
        d->afterWrite(index);
        return 0;
    case 0x42:
        return confirmedWrite(index, value, data, length);
    case 0x43:
        return calibrate(index, value);
    case 0x44:
        return runControl(index, now);
    case 0x45:
        return commitBlock(index);
    case 0x46:
        d->config[34] = sanitizeEntry(34, int32_t(uint32_t(index) | (uint32_t(value) << 16)));
        d->applyGenerator();
        return 0;
    case 0x47:
        return readBlock(index, data, length);
    case 0x48:
        d->scopeRunning = false;
        d->counterRunning = false;
        d->sniffer.stop(now);
        d->pendingBulk.clear();
        return 0;
    default:
        return LIBUSB_ERROR_PIPE;
    }
}

int VirtualInstrument::bulkOut(unsigned char endpoint, const unsigned char *data, int length)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!d->attached)
        return LIBUSB_ERROR_NO_DEVICE;
    if (endpoint != 0x01 || length < 0 || (length > 0 && !data) || length > 512)
        return LIBUSB_ERROR_PIPE;
    d->pendingBulk.assign(data, data + length);
    return length;
}

int VirtualInstrument::takeFrame(unsigned char *buffer, int capacity)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!d->attached || !buffer)
        return 0;
    const int64_t now = d->nowNs();
    if (now < d->nextSendNs)
        return 0;

    if (d->config[0] == 1) {
        if (!d->sniffer.running() || now - d->lastSnifferFrameNs < snifferFrameGapNs)
            return 0;
        if (capacity < VirtualSniffer::frameSize)
            return 0;
        d->sniffer.advance(now);
        if (d->sniffer.takeChanged())
            ++d->snifferFrameNumber;
        d->sniffer.writeFrame(buffer, d->snifferFrameNumber);
        d->lastSnifferFrameNs = now;
        d->nextSendNs = now + std::max<int64_t>(minimumFrameGapNs,
                                                int64_t(VirtualSniffer::frameSize / pipeBytesPerSecond * 1e9));
        return d->applyFrameFault(buffer, VirtualSniffer::frameSize, capacity);
    }

    if (d->config[0] != 0 || !d->scopeRunning)
        return 0;
    const int n = d->samples();
    const int64_t period = d->samplePeriod;
    const int64_t kNow = now / period;
    int64_t first = 0;
    int64_t kEnd = 0;
    bool roll = false;
    const int mode = d->config[7] & 0x0F;
    if (d->rollActive()) {
        if (now - d->lastRollNs < rollFrameGapNs)
            return 0;
        roll = true;
        kEnd = kNow;
        first = kNow - n + 1;
        d->lastRollNs = now;
    } else if (d->forceRequested || (mode & 1)) {
        // Free running (or forced): the newest n samples, once they are all
        // new since the last frame; a force does not wait.
        if (!d->forceRequested && kNow - d->rearmSample + 1 < n)
            return 0;
        first = kNow - n + 1;
    } else {
        const int post = std::clamp<int32_t>(d->config[16], 1, n);
        const int pre = n - post;
        if (d->searchTrigger(kNow)) {
            if (kNow < d->pendingTrigger + post - 1)
                return 0; // the samples after the trigger are still coming
            first = d->pendingTrigger - pre;
            d->lastTrigger = d->pendingTrigger;
        } else {
            const bool autoMode = (mode & 8) || mode == 0;
            const int64_t timeout = int64_t((d->config[20] & 0xFF) + 1) * 4096 * 10000; // × 40.96 ms
            if (!autoMode || now - d->armedNs < timeout || kNow - d->rearmSample + 1 < n)
                return 0;
            first = kNow - n + 1;
        }
    }
    const int length = d->buildScopeFrame(buffer, capacity, first, roll, roll ? kEnd : first + n - 1);
    if (length == 0)
        return 0;
    d->forceRequested = false;
    d->nextSendNs = now + std::max<int64_t>(minimumFrameGapNs, int64_t(length / pipeBytesPerSecond * 1e9));
    if (!roll) {
        d->rearm(false);
        if ((mode & 4) && !(mode & 1))
            d->scopeRunning = false; // single: one frame, then wait for the next start
    }
    return d->applyFrameFault(buffer, length, capacity);
}

void VirtualInstrument::hostDisconnected()
{
    std::lock_guard<std::mutex> lock(mutex);
    d->scopeRunning = false;
    d->counterRunning = false;
    d->sniffer.stop(d->nowNs());
    d->pendingBulk.clear();
}

void VirtualInstrument::setAttached(bool attached)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->attached = attached;
}

bool VirtualInstrument::attached() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->attached;
}

void VirtualInstrument::failNextControl(ControlFault fault, int count)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->controlFault = fault;
    d->controlFaultsLeft = count;
}

void VirtualInstrument::failNextFrame(FrameFault fault)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->frameFault = fault;
}

void VirtualInstrument::setIdentificationFault(IdentificationFault fault)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->identificationFault = fault;
}

void VirtualInstrument::setHealthByte(uint8_t health)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->health = health;
}

int32_t VirtualInstrument::configurationEntry(int index) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return (index >= 0 && index < entryCount) ? d->config[index] : 0;
}

bool VirtualInstrument::scopeRunning() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->scopeRunning;
}

bool VirtualInstrument::snifferRunning() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->sniffer.running();
}

int VirtualInstrument::samplesPerChannel() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->samples();
}

double VirtualInstrument::generatorFrequency() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->generator.producedFrequency();
}

uint16_t VirtualInstrument::customWaveformWord(int index) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return (index >= 0 && index < 512) ? d->customTable[index] : 0;
}

bool VirtualInstrument::adcOffsetCalibrated() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->adcOffsetCodes == 0.0;
}
