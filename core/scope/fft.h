// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The spectrum display: the complex type, the in-place radix-2 transform,
// the window tables and the per-tick spectrum of a scope frame. No widgets:
// SpectrumControls computes and hands the values to the spectrum graphs.

#include <QVector>

#include <array>
#include <cstdint>

class complex
{
public:
    constexpr complex() = default;
    constexpr complex(double re, double im = 0.0) : m_re(re), m_im(im) {}

    constexpr double re() const { return m_re; }
    constexpr double im() const { return m_im; }
    double norm() const; // |z|

    complex &operator+=(const complex &o);
    complex &operator-=(const complex &o);
    complex &operator*=(const complex &o);
    complex &operator*=(double s);

    friend complex operator+(complex a, const complex &b) { return a += b; }
    friend complex operator-(complex a, const complex &b) { return a -= b; }
    friend complex operator*(complex a, const complex &b) { return a *= b; }
    friend complex operator*(complex a, double s) { return a *= s; }
    friend complex operator*(double s, complex a) { return a *= s; }
    friend bool operator==(const complex &a, const complex &b)
    {
        return a.m_re == b.m_re && a.m_im == b.m_im;
    }
    friend bool operator!=(const complex &a, const complex &b) { return !(a == b); }

    static const complex i;
    static const complex j;

private:
    double m_re = 0.0;
    double m_im = 0.0;
};

class CFFT
{
public:
    // All transforms refuse (return false, touch nothing) a missing array,
    // N = 0 or an N that is not a power of two.
    static bool Forward(const complex *in, complex *out, unsigned N);
    static bool Forward(complex *data, unsigned N);
    static bool Inverse(const complex *in, complex *out, unsigned N, bool scale = true);
    static bool Inverse(complex *data, unsigned N, bool scale = true);

    static void Rearrange(const complex *in, complex *out, unsigned N);
    static void Rearrange(complex *data, unsigned N);
    static void Perform(complex *data, unsigned N, bool inverse = false);
    static void Scale(complex *data, unsigned N);
};

enum class FftWindow { Rectangular, Hamming, Hann, Blackman };

// Window coefficients w(0..n−1). n = 1 gives a single 1.
QVector<double> fftWindowTable(FftWindow window, int n);

struct SpectrumSettings {
    // CH1 + j·CH2 as one signal, drawn on the CH1 graph: all fftLength bins,
    // from −fs/2 at x = 0 through 0 Hz at x = fftLength / 2 (the centre) to
    // just under +fs/2, one x unit a bin.
    bool iq = false;
    bool ch1 = true;
    bool ch2 = false;
    bool logY = false;
};

// Turns the first fftLength samples of each channel block into fftBins
// magnitudes drawn at x = 2k. Samples are the signed codes the trace shows,
// and the window spans exactly the transformed points. All storage is held
// by the builder, so a tick allocates nothing once the builder exists.
class SpectrumBuilder
{
public:
    static constexpr int fftLength = 256;
    static constexpr int fftBins = fftLength / 2;

    SpectrumBuilder();

    void setWindow(FftWindow window);
    FftWindow window() const { return m_window; }
    const QVector<double> &windowTable() const { return m_windowTable; }

    // Either block may be null (channel absent); `samples` shorter than the
    // transform is zero-padded. Channels without data or not selected get
    // no points. Returns false when nothing could be computed.
    bool compute(const int8_t *ch1, const int8_t *ch2, int samples, const SpectrumSettings &settings);
    // The same from a whole scope frame (header, blocks, meter blocks); a
    // frame inconsistent with its own header gives no points and false.
    bool computeFromFrame(const unsigned char *frame, int length, const SpectrumSettings &settings);

    // The x of each value of the last computation (IQ has its own).
    const QVector<double> &keys() const { return m_iqShown ? m_iqKeys : m_keys; }
    // Empty when that graph gets no points this tick.
    const QVector<double> &ch1Values() const { return m_ch1Values; }
    const QVector<double> &ch2Values() const { return m_ch2Values; }

    // Linear: 0.05·m. Logarithmic: 16·log2(m), with m below 1 drawn at 0 so
    // that silent bins never reach the plot as −∞.
    static double displayValue(double magnitude, bool logY);

private:
    void fill(std::array<complex, fftLength> &area, const int8_t *re, const int8_t *im, int samples);
    void magnitudes(const std::array<complex, fftLength> &area, QVector<double> &values, bool logY);
    void centredMagnitudes(const std::array<complex, fftLength> &area, QVector<double> &values, bool logY);

    FftWindow m_window = FftWindow::Hann;
    QVector<double> m_windowTable;
    std::array<complex, fftLength> m_area1;
    std::array<complex, fftLength> m_area2;
    QVector<double> m_keys;
    QVector<double> m_iqKeys;
    bool m_iqShown = false;
    QVector<double> m_ch1Values;
    QVector<double> m_ch2Values;
};
