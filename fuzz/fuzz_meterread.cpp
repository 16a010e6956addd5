// SPDX-License-Identifier: GPL-3.0-only
// The meter read (36 bytes from the instrument, or fewer on a failed
// transfer) as the meter and counter pages show it: the length check, both
// meter blocks, the AC and DC read-outs and every counter type's values.
//
// Input: the reply bytes; its length is the number of bytes received.
#include "fuzzsupport.h"

#include "core/device/frames.h"
#include "core/instruments/meterreadings.h"

#include <cmath>
#include <cstdlib>

namespace {
volatile double sink;

void touch(const MeterReadings::AcReading &r)
{
    sink = r.vpp + r.maximum + r.minimum + r.rms + r.average + r.frequency;
    // Infinity would reach the display as text no one can read.
    if (std::isinf(r.frequency) || std::isinf(r.vpp))
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Timed timed(data, size);
    FuzzSupport::silenceLog();
    const int received = int(size > 64 ? 64 : size);
    channela_t ch1;
    channela_t ch2;
    Frames::initMeterBlock(&ch1);
    Frames::initMeterBlock(&ch2);
    const bool accepted = Frames::acceptMeterRead(received);
    const bool parsed = MeterReadings::parseMeterRead(data, received, ch1, ch2);
    if (parsed && !accepted)
        std::abort();
    if (!parsed)
        return 0;
    for (const channela_t *m : {&ch1, &ch2}) {
        touch(MeterReadings::acReading(*m));
        sink = MeterReadings::dcReading(*m);
    }
    using MeterReadings::CounterType;
    for (CounterType type : {CounterType::Frequency, CounterType::CountPulses, CounterType::Period,
                             CounterType::ExternalGate}) {
        const auto r = MeterReadings::counterReading(type, ch1.periodX100, ch2.periodX100);
        sink = r.frequency + r.period + r.duty + r.width + r.count;
        if (std::isinf(r.frequency) || std::isinf(r.duty))
            std::abort();
    }
    return 0;
}
