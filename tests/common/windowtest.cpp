// SPDX-License-Identifier: GPL-3.0-only
#include "common/windowtest.h"

#include <QSettings>

#include <QtTest>

#include <cstring>

void useVirtualBench()
{
    qputenv("VELTO_DEVICE", "virtual");
    AppSettings::setApplicationIdentity();
    // A store that is not empty: the window keeps the controls as a test sets
    // them, without the autoset of a first start.
    QSettings().setValue(QStringLiteral("wasMaximized"), false);
}

bool connectToBench(VeltoInterface &window, int scopeStartDelay)
{
    if (scopeStartDelay >= 0)
        window.session()->setScopeStartDelay(scopeStartDelay);
    virtualBench().setAttached(true);
    // Connected, and what the connect asked of the instrument answered.
    return QTest::qWaitFor(
               [&] { return window.form()->connectButton->text() == QLatin1String("Disconnect"); }, 5000) &&
           window.session()->usb().settle();
}

bool waitDrawnFrames(VeltoInterface &window, int ticks)
{
    const quint64 target = window.display()->counts().drawnTicks + quint64(ticks);
    return QTest::qWaitFor([&] { return window.display()->counts().drawnTicks >= target; }, 5000);
}

QByteArray buildFrame(const FrameShape &shape, const SampleFn &sample)
{
    const int n = shape.samples;
    QByteArray frame =
        scopeFrameBytes(shape.mask, n, shape.rollStart, shape.frameNumber, shape.samplingIndex);
    auto *d = reinterpret_cast<unsigned char *>(frame.data());
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
