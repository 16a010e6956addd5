#include "common/windowtest.h"

#include <QtTest>

#include <cstring>

void useVirtualBench()
{
    qputenv("VELTO_DEVICE", "virtual");
    AppSettings::setApplicationIdentity();
}

bool connectToBench(VeltoInterface &window)
{
    virtualBench().setAttached(true);
    return QTest::qWaitFor(
        [&] { return window.form()->connectButton->text() == QLatin1String("Disconnect"); }, 5000);
}

QByteArray buildFrame(const FrameShape &shape, const SampleFn &sample)
{
    const int n = shape.samples;
    QByteArray frame(Frames::scopeFrameLength(shape.mask, n), '\0');
    auto *d = reinterpret_cast<unsigned char *>(frame.data());
    frameconfig_t header{};
    header.frameType = Frames::scopeFrameType;
    header.frameNumber = shape.frameNumber;
    header.channelMask = shape.mask;
    header.analogMask = shape.mask & (Frames::Ch1 | Frames::Ch2);
    header.samplesPerChannel = uint16_t(n);
    header.samplingIndex = shape.samplingIndex;
    header.rollStartIndex = shape.rollStart;
    Frames::writeScopeHeader(header, d);
    int offset = Frames::scopeHeaderSize;
    for (int block = 0; block < 3; ++block) {
        if (!(shape.mask & (1 << block)))
            continue;
        for (int i = 0; i < n; ++i)
            d[offset + i] = uchar(sample(block, i));
        offset += n;
    }
    Frames::writeMeterBlock(shape.meters[0], d + offset);
    Frames::writeMeterBlock(shape.meters[1], d + offset + Frames::meterBlockSize);
    return frame;
}

void feed(VeltoInterface &window, const QByteArray &frame)
{
    window.session()->usb().deliverRead(reinterpret_cast<const unsigned char *>(frame.constData()), frame.size());
    window.display()->scopeDataShow();
}
