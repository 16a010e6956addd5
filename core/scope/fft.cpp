// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/fft.h"

#include "core/device/frames.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <utility>

const complex complex::i(0.0, 1.0);
const complex complex::j(0.0, 1.0);

double complex::norm() const
{
    return std::sqrt(m_re * m_re + m_im * m_im);
}

complex &complex::operator+=(const complex &o)
{
    m_re += o.m_re;
    m_im += o.m_im;
    return *this;
}

complex &complex::operator-=(const complex &o)
{
    m_re -= o.m_re;
    m_im -= o.m_im;
    return *this;
}

complex &complex::operator*=(const complex &o)
{
    const double re = m_re * o.m_re - m_im * o.m_im;
    m_im = m_re * o.m_im + m_im * o.m_re;
    m_re = re;
    return *this;
}

complex &complex::operator*=(double s)
{
    m_re *= s;
    m_im *= s;
    return *this;
}

namespace {

bool usableLength(unsigned N)
{
    return N != 0 && (N & (N - 1)) == 0;
}

} // namespace

bool CFFT::Forward(const complex *in, complex *out, unsigned N)
{
    if (!in || !out || !usableLength(N))
        return false;
    if (in == out)
        Rearrange(out, N);
    else
        Rearrange(in, out, N);
    Perform(out, N, false);
    return true;
}

bool CFFT::Forward(complex *data, unsigned N)
{
    if (!data || !usableLength(N))
        return false;
    Rearrange(data, N);
    Perform(data, N, false);
    return true;
}

bool CFFT::Inverse(const complex *in, complex *out, unsigned N, bool scale)
{
    if (!in || !out || !usableLength(N))
        return false;
    if (in == out)
        Rearrange(out, N);
    else
        Rearrange(in, out, N);
    Perform(out, N, true);
    if (scale)
        Scale(out, N);
    return true;
}

bool CFFT::Inverse(complex *data, unsigned N, bool scale)
{
    if (!data || !usableLength(N))
        return false;
    Rearrange(data, N);
    Perform(data, N, true);
    if (scale)
        Scale(data, N);
    return true;
}

void CFFT::Rearrange(const complex *in, complex *out, unsigned N)
{
    unsigned target = 0;
    for (unsigned position = 0; position < N; ++position) {
        out[target] = in[position];
        unsigned mask = N >> 1;
        while (target & mask) {
            target &= ~mask;
            mask >>= 1;
        }
        target |= mask;
    }
}

void CFFT::Rearrange(complex *data, unsigned N)
{
    unsigned target = 0;
    for (unsigned position = 0; position < N; ++position) {
        if (target > position)
            std::swap(data[target], data[position]);
        unsigned mask = N >> 1;
        while (target & mask) {
            target &= ~mask;
            mask >>= 1;
        }
        target |= mask;
    }
}

void CFFT::Perform(complex *data, unsigned N, bool inverse)
{
    const double pi = inverse ? M_PI : -M_PI;
    for (unsigned step = 1; step < N; step <<= 1) {
        const unsigned jump = step << 1;
        const double delta = pi / double(step);
        const double sine = std::sin(delta * 0.5);
        // The twiddle factor advances by a recurrence instead of a sine table.
        const complex multiplier(-2.0 * sine * sine, std::sin(delta));
        complex factor(1.0, 0.0);
        for (unsigned group = 0; group < step; ++group) {
            for (unsigned pair = group; pair < N; pair += jump) {
                const unsigned match = pair + step;
                const complex product = factor * data[match];
                data[match] = data[pair] - product;
                data[pair] += product;
            }
            factor = multiplier * factor + factor;
        }
    }
}

void CFFT::Scale(complex *data, unsigned N)
{
    if (!data || N == 0)
        return;
    const double factor = 1.0 / double(N);
    for (unsigned k = 0; k < N; ++k)
        data[k] *= factor;
}

QVector<double> fftWindowTable(FftWindow window, int n)
{
    QVector<double> table(std::max(n, 0), 1.0);
    if (n < 2 || window == FftWindow::Rectangular)
        return table;
    const double span = double(n - 1);
    for (int i = 0; i < n; ++i) {
        const double c1 = std::cos(2.0 * M_PI * i / span);
        switch (window) {
        case FftWindow::Hamming:
            table[i] = 0.53836 - 0.46164 * c1;
            break;
        case FftWindow::Hann:
            table[i] = 0.5 * (1.0 - c1);
            break;
        case FftWindow::Blackman:
            table[i] = 0.42 - 0.5 * c1 + 0.08 * std::cos(4.0 * M_PI * i / span);
            break;
        case FftWindow::Rectangular:
            break;
        }
    }
    return table;
}

SpectrumBuilder::SpectrumBuilder()
{
    m_keys.resize(fftBins);
    for (int k = 0; k < fftBins; ++k)
        m_keys[k] = 2.0 * k;
    m_iqKeys.resize(fftLength);
    for (int k = 0; k < fftLength; ++k)
        m_iqKeys[k] = k;
    m_ch1Values.reserve(fftBins);
    m_ch2Values.reserve(fftBins);
    setWindow(FftWindow::Hann);
}

void SpectrumBuilder::setWindow(FftWindow window)
{
    m_window = window;
    m_windowTable = fftWindowTable(window, fftLength);
}

double SpectrumBuilder::displayValue(double magnitude, bool logY)
{
    if (!logY)
        return 0.05 * magnitude;
    if (!(magnitude > 1.0))
        return 0.0;
    return 16.0 * std::log2(magnitude);
}

void SpectrumBuilder::fill(std::array<complex, fftLength> &area, const int8_t *re, const int8_t *im,
                           int samples)
{
    const int count = std::min(samples, fftLength);
    const double *w = m_windowTable.constData();
    for (int i = 0; i < count; ++i)
        area[i] = complex(re[i] * w[i], im[i] * w[i]);
    for (int i = count; i < fftLength; ++i)
        area[i] = complex();
}

void SpectrumBuilder::magnitudes(const std::array<complex, fftLength> &area, QVector<double> &values,
                                 bool logY)
{
    values.resize(fftBins);
    double *out = values.data();
    for (int k = 0; k < fftBins; ++k)
        out[k] = displayValue(area[k].norm(), logY);
}

// The negative frequencies first: bin fftBins .. fftLength − 1 are −fs/2 .. −1 bin.
void SpectrumBuilder::centredMagnitudes(const std::array<complex, fftLength> &area, QVector<double> &values,
                                        bool logY)
{
    values.resize(fftLength);
    double *out = values.data();
    for (int k = 0; k < fftLength; ++k)
        out[k] = displayValue(area[size_t((k + fftBins) % fftLength)].norm(), logY);
}

bool SpectrumBuilder::compute(const int8_t *ch1, const int8_t *ch2, int samples,
                              const SpectrumSettings &settings)
{
    m_ch1Values.resize(0);
    m_ch2Values.resize(0);
    m_iqShown = settings.iq;
    if (samples <= 0)
        return false;

    if (settings.iq) {
        if (!ch1 || !ch2)
            return false;
        fill(m_area1, ch1, ch2, samples);
        CFFT::Forward(m_area1.data(), fftLength);
        centredMagnitudes(m_area1, m_ch1Values, settings.logY);
        return true;
    }

    bool any = false;
    if (settings.ch1 && ch1) {
        // Both parts carry the sample, as the instrument's spectrum always has.
        fill(m_area1, ch1, ch1, samples);
        CFFT::Forward(m_area1.data(), fftLength);
        magnitudes(m_area1, m_ch1Values, settings.logY);
        any = true;
    }
    if (settings.ch2 && ch2) {
        fill(m_area2, ch2, ch2, samples);
        CFFT::Forward(m_area2.data(), fftLength);
        magnitudes(m_area2, m_ch2Values, settings.logY);
        any = true;
    }
    return any;
}

bool SpectrumBuilder::computeFromFrame(const unsigned char *frame, int length,
                                       const SpectrumSettings &settings)
{
    m_ch1Values.resize(0);
    m_ch2Values.resize(0);
    if (!frame || length < Frames::scopeOverhead) {
        qWarning().noquote() << QStringLiteral("FFT: frame too short (%1 bytes), no spectrum").arg(length);
        return false;
    }
    frameconfig_t header;
    Frames::parseScopeHeader(&header, frame);
    const int n = header.samplesPerChannel;
    if (header.frameType != Frames::scopeFrameType || n <= 0 ||
        Frames::scopeFrameLength(header.channelMask, n) != length) {
        qWarning().noquote() << QStringLiteral("FFT: frame does not match its header, no spectrum");
        return false;
    }
    const int o1 = Frames::channelBlockOffset(header.channelMask, Frames::Ch1, n);
    const int o2 = Frames::channelBlockOffset(header.channelMask, Frames::Ch2, n);
    const auto block = [frame](int offset) {
        return offset < 0 ? nullptr : reinterpret_cast<const int8_t *>(frame + offset);
    };
    return compute(block(o1), block(o2), n, settings);
}
