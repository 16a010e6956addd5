// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The measurement panel under the plot: the automatic measurements the user
// picked (a kind on a source: CH1, CH2, a math trace, a logic bit, or CH1 to
// CH2), each with its current reading and the minimum, maximum, mean,
// standard deviation and count of its readings since the last reset. Every
// new frame is measured (ScopeDisplay::frameMeasured), drawn or not; the
// table shows the figures a few times a second. The statistics start again
// on Reset and on any change of time base, gain, trigger or gate. "Gate to
// cursors" measures only between the vertical cursors. The selected row
// shows on the plot where it was measured. The choice is kept in the
// application settings ("measurements").

#include "core/scope/measurementset.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <array>
#include <map>
#include <vector>

class CursorControls;
class QCheckBox;
class QComboBox;
class QCPItemStraightLine;
class QCPItemText;
class QPushButton;
class QTableWidget;
class QWidget;
class ScopeDisplay;
class ScopePlot;
class TriggerControls;
struct ScopeState;
namespace Ui
{
class VeltoInterface;
}

class MeasurementPanel : public QObject
{
    Q_OBJECT
public:
    struct Parts {
        Ui::VeltoInterface *ui;
        ScopeState *state;
        ScopeDisplay *display;
        ScopePlot *plot;
        CursorControls *cursors;
        TriggerControls *trigger;
    };
    struct Row {
        Measure::Choice choice;
        Measure::Result current;
        Measure::Statistics statistics;
    };

    MeasurementPanel(const Parts &parts, QObject *parent = nullptr);

    QWidget *widget() const { return panel; }
    const QVector<Row> &rows() const { return table; }
    // Adds a row (a choice already shown is not added twice) and remembers the choice.
    void addMeasurement(const Measure::Choice &choice);
    void removeMeasurement(int row);
    void resetStatistics();
    // The table as text: a header line, then a line a row, tab between columns.
    QString tableText() const;
    // The figures on the table now, and the markers of the selected row.
    void refreshTable();

private:
    // A source measured on this frame, and how its samples map to the plot.
    struct Measured {
        Measure::Set set;
        int gateFrom = -1;          // the first drawn sample of the gate; -1: the frame's order
        double unitsPerValue = 0.0; // plot units a volt (0: no level marks)
        double zero = 0.0;
    };
    void buildWidgets();
    void frameMeasured();
    const Measured &measuredSource(const QString &source);
    // Measures the samples drawn between the vertical cursors.
    // `kind` gives the noise, the clipping and the levels of the source.
    void measureGated(const double *values, int n, Measure::Source kind, Measured &out);
    Measure::Result resultOf(const Measure::Choice &choice);
    quint64 setupKey() const;
    void fillKindBox();
    void remember() const;
    void showMarkers();
    void markPlaces(Measure::Kind kind, const Measured &m, std::vector<double> &times,
                    std::vector<double> &levels) const;
    double drawnKey(const Measured &m, double sample) const;

    Parts p;
    QWidget *panel = nullptr;
    QComboBox *sourceBox = nullptr;
    QComboBox *kindBox = nullptr;
    QPushButton *removeButton = nullptr;
    QCheckBox *gateBox = nullptr;
    QTableWidget *view = nullptr;
    QVector<Row> table;
    // This frame's measurements of the sources the rows name.
    std::map<QString, Measured> frameSets;
    std::vector<double> scratch;
    quint64 lastKey = 0;
    quint64 triggerChanges = 0;
    QTimer refreshTimer;
    std::array<QCPItemStraightLine *, 5> markerLines{};
    QCPItemText *markerLabel = nullptr;
    bool markersShown = false;
};
