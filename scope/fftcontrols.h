// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/scope/fft.h"
#include "scope/persistenceaccumulator.h"
#include "core/scope/tracebuilder.h"

#include <QByteArray>
#include <QObject>

class QCPItemStraightLine;
class ScopePlot;
struct ScopeState;
namespace Ui {
class VeltoInterface;
}

// The "FFT" and "Ref" pages: the spectrum of the frame on screen with its
// window function, and the reference traces captured from it.
class SpectrumControls : public QObject
{
    Q_OBJECT
public:
    SpectrumControls(Ui::VeltoInterface *ui, ScopeState *state, ScopePlot *plot, QObject *parent = nullptr);

    void fftWindowFunctionSet();
    void fftControlsPlotSet();
    // The spectrum step of the tick: drawn from the frame, or emptied.
    void spectrumStep(const QByteArray &frame);
    void scopeDrawFFT(const QByteArray &frame);
    // The capture step of the tick: a capture asked for takes this tick's traces.
    void captureStep(const TraceBuilder &traces);
    ReferenceStore &references() { return referenceStore; }
    const SpectrumBuilder &spectrumBuilder() const { return spectrum; }

private:
    void captureClicked();

    Ui::VeltoInterface *ui;
    ScopeState *state;
    ScopePlot *plot;
    SpectrumBuilder spectrum;
    ReferenceStore referenceStore;
    PersistenceAccumulator fftAccumulators[2];
    bool captureRequested = false;
    // 0 Hz of the IQ spectrum, in the middle of its −fs/2 .. +fs/2 axis.
    QCPItemStraightLine *iqCentre = nullptr;
};
