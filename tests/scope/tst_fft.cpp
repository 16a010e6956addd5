// SPDX-License-Identifier: GPL-3.0-only
#include "common/testsupport.h"
#include "core/device/frames.h"
#include "core/scope/fft.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {

std::vector<complex> randomSignal(unsigned n, quint32 seed)
{
    QRandomGenerator rng(seed);
    std::vector<complex> x(n);
    for (auto &v : x)
        v = complex(rng.generateDouble() * 2 - 1, rng.generateDouble() * 2 - 1);
    return x;
}

// The textbook O(N²) transform, written from the definition.
std::vector<complex> naiveDft(const std::vector<complex> &x, bool inverse)
{
    const size_t n = x.size();
    std::vector<complex> y(n);
    const double sign = inverse ? 1.0 : -1.0;
    for (size_t k = 0; k < n; ++k) {
        double re = 0, im = 0;
        for (size_t t = 0; t < n; ++t) {
            const double angle = sign * 2.0 * M_PI * double(k * t % n) / double(n);
            re += x[t].re() * std::cos(angle) - x[t].im() * std::sin(angle);
            im += x[t].re() * std::sin(angle) + x[t].im() * std::cos(angle);
        }
        y[k] = complex(re, im);
    }
    return y;
}

double maxDistance(const std::vector<complex> &a, const std::vector<complex> &b)
{
    double worst = 0;
    for (size_t k = 0; k < a.size(); ++k)
        worst = std::max(worst, (a[k] - b[k]).norm());
    return worst;
}

void fillBlock(QByteArray &frame, uint8_t mask, int bit, int n, const std::function<int(int)> &sample)
{
    const int offset = Frames::channelBlockOffset(mask, bit, n);
    for (int i = 0; i < n; ++i)
        frame[offset + i] = char(int8_t(sample(i)));
}

} // namespace

class TestFft : public QObject
{
    Q_OBJECT
private slots:
    void refusesBadLengthsAndFrames()
    {
        std::vector<complex> data = randomSignal(768, 1);
        const std::vector<complex> original = data;
        std::vector<complex> out(768, complex(7, 7));
        QVERIFY(!CFFT::Forward(data.data(), 768));
        QVERIFY(!CFFT::Inverse(data.data(), 768, true));
        QVERIFY(!CFFT::Forward(original.data(), out.data(), 768));
        QVERIFY(!CFFT::Forward(nullptr, out.data(), 256));
        QVERIFY(!CFFT::Forward(original.data(), nullptr, 256));
        QVERIFY(data == original);
        QVERIFY(out == std::vector<complex>(768, complex(7, 7)));
        QVERIFY(CFFT::Forward(data.data(), 1));
        // A frame one byte short of its header gives no spectrum.
        MessageCapture log;
        SpectrumBuilder builder;
        QByteArray frame = scopeFrameBytes(Frames::Ch1 | Frames::Ch2, 256);
        QVERIFY(!builder.computeFromFrame(frameBytes(frame), frame.size() - 1, SpectrumSettings()));
        QVERIFY(builder.ch1Values().isEmpty());
        QVERIFY(log.contains(QStringLiteral("FFT: frame does not match its header")));
        QVERIFY(!builder.computeFromFrame(nullptr, 0, SpectrumSettings()));
    }
    void matchesTheDiscreteTransformBothWays()
    {
        for (unsigned n : {1u, 2u, 8u, 64u, 1024u}) {
            const std::vector<complex> x = randomSignal(n, 1000 + n);
            std::vector<complex> inPlace = x;
            QVERIFY(CFFT::Forward(inPlace.data(), n));
            QVERIFY2(maxDistance(inPlace, naiveDft(x, false)) < 1e-9 * n, qPrintable(QString::number(n)));
            std::vector<complex> outOfPlace(n);
            QVERIFY(CFFT::Forward(x.data(), outOfPlace.data(), n));
            QVERIFY(maxDistance(outOfPlace, inPlace) < 1e-12 * n);
            std::vector<complex> backwards = x;
            QVERIFY(CFFT::Inverse(backwards.data(), n, false));
            QVERIFY(maxDistance(backwards, naiveDft(x, true)) < 1e-9 * n);
            // Round trips: scaled in place, out of place, the same array given twice.
            QVERIFY(CFFT::Inverse(inPlace.data(), n, true));
            QVERIFY(maxDistance(x, inPlace) < 1e-12 * n);
            std::vector<complex> back(n);
            QVERIFY(CFFT::Inverse(outOfPlace.data(), back.data(), n, true));
            QVERIFY(maxDistance(x, back) < 1e-12 * n);
        }
    }
    void constantsSignedSamplesAndChannels()
    {
        SpectrumBuilder builder;
        builder.setWindow(FftWindow::Rectangular);
        const std::vector<int8_t> samples(256, 20);
        QVERIFY(builder.compute(samples.data(), nullptr, 256, SpectrumSettings()));
        QCOMPARE(builder.ch1Values().size(), SpectrumBuilder::fftBins);
        QVERIFY(std::fabs(builder.ch1Values()[0] - 0.05 * 256 * 20 * std::sqrt(2.0)) < 1e-9);
        for (int k = 1; k < SpectrumBuilder::fftBins; ++k)
            QVERIFY(builder.ch1Values()[k] < 1e-9);
        // Code −1 arrives as byte 0xFF; read unsigned it would look like 255.
        QByteArray frame = scopeFrameBytes(Frames::Ch1, 256);
        fillBlock(frame, Frames::Ch1, Frames::Ch1, 256, [](int) { return -1; });
        QVERIFY(builder.computeFromFrame(frameBytes(frame), frame.size(), SpectrumSettings()));
        QVERIFY(std::fabs(builder.ch1Values()[0] - 0.05 * 256 * std::sqrt(2.0)) < 1e-9);

        QCOMPARE(SpectrumBuilder::displayValue(0.5, true), 0.0); // no logarithm below one
        const std::vector<int8_t> a(512, 50);
        SpectrumSettings onlyCh2;
        onlyCh2.ch1 = false;
        onlyCh2.ch2 = true;
        QVERIFY(builder.compute(a.data(), a.data(), 512, onlyCh2));
        QVERIFY(builder.ch1Values().isEmpty());
        QVERIFY(std::fabs(builder.ch2Values()[0] - 0.05 * 256 * 50 * std::sqrt(2.0)) < 1e-9);
        // A channel that is selected but absent gets no points; IQ needs both.
        QVERIFY(!builder.compute(nullptr, a.data(), 512, SpectrumSettings()));
        SpectrumSettings iq;
        iq.iq = true;
        QVERIFY(!builder.compute(a.data(), nullptr, 512, iq));
        // A short block is padded with silence, not read beyond its end.
        QVERIFY(builder.compute(a.data(), nullptr, 100, SpectrumSettings()));
        QVERIFY(std::fabs(builder.ch1Values()[0] - 0.05 * 100 * 50 * std::sqrt(2.0)) < 1e-9);
    }
    void windowSpansTheTransformedPoints()
    {
        // A long frame: the Hann window must close at the 256th transformed
        // point, not at the 768th sample, so a constant's energy stays in bin 0
        // with the window's own sum, (256 − 1) / 2.
        QByteArray frame = scopeFrameBytes(Frames::Ch1 | Frames::Ch2, 768);
        fillBlock(frame, Frames::Ch1 | Frames::Ch2, Frames::Ch1, 768, [](int) { return 10; });
        SpectrumBuilder builder;
        builder.setWindow(FftWindow::Hann);
        QCOMPARE(builder.windowTable().size(), SpectrumBuilder::fftLength);
        QCOMPARE(fftWindowTable(FftWindow::Hann, 1), QVector<double>{1.0});
        QVERIFY(std::fabs(fftWindowTable(FftWindow::Hamming, 257).first() - 0.07672) < 1e-12);
        QVERIFY(builder.computeFromFrame(frameBytes(frame), frame.size(), SpectrumSettings()));
        const double expected = 0.05 * 10 * 127.5 * std::sqrt(2.0);
        QVERIFY2(std::fabs(builder.ch1Values()[0] - expected) < 1e-9, qPrintable(QString::number(builder.ch1Values()[0])));
        QVERIFY(builder.ch1Values()[1] > 0.1);
        for (int k = 2; k < SpectrumBuilder::fftBins; ++k)
            QVERIFY2(builder.ch1Values()[k] < 0.01 * expected, qPrintable(QString::number(k)));
    }
    // CH1 as the real and CH2 as the imaginary part: a cosine with a sine behind it
    // is one line at +8, right of the centre; with the sine ahead, at -8, left of it.
    void iqSeparatesPositiveAndNegativeFrequencies()
    {
        const uint8_t mask = Frames::Ch1 | Frames::Ch2;
        QByteArray frame = scopeFrameBytes(mask, 256);
        const auto cosine = [](int i) { return int(std::lround(100 * std::cos(2 * M_PI * 8 * i / 256))); };
        const auto sine = [](int i) { return int(std::lround(100 * std::sin(2 * M_PI * 8 * i / 256))); };
        fillBlock(frame, mask, Frames::Ch1, 256, cosine);
        SpectrumBuilder builder;
        builder.setWindow(FftWindow::Rectangular);
        SpectrumSettings iq;
        iq.iq = true;
        const double floor = 0.05 * 256;
        for (int sign : {1, -1}) {
            fillBlock(frame, mask, Frames::Ch2, 256, [&](int i) { return sign * sine(i); });
            QVERIFY(builder.computeFromFrame(frameBytes(frame), frame.size(), iq));
            QVERIFY(builder.ch2Values().isEmpty());
            const QVector<double> &v = builder.ch1Values();
            QCOMPARE(builder.keys().size(), SpectrumBuilder::fftLength);
            for (int k = 0; k < SpectrumBuilder::fftLength; ++k) {
                const bool line = k == SpectrumBuilder::fftBins + 8 * sign;
                QVERIFY2(line ? std::fabs(v[k] - floor * 100) < floor : v[k] < floor,
                         qPrintable(QStringLiteral("sign %1, bin %2: %3").arg(sign).arg(k).arg(v[k])));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestFft)
#include "tst_fft.moc"
