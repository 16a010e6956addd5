// SPDX-License-Identifier: GPL-3.0-only
// The cursors on the plot and the controls of the "Cursors" group.
#include "scope/cursorcontrols.h"

#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "ui_veltointerface.h"
#include "widgets/collapsiblepanel.h"

#include "base/logging.h"

#include <qcustomplot.h>

#include <QSettings>

namespace {
// The stored positions, with how far each may go: a vertical cursor's key
// within the largest buffer, a horizontal one's level within the plot.
struct StoredPosition {
    const char *key;
    int VerticalCursors::*vertical;
    int HorizontalCursors::*horizontal;
    int low, high;
};
const StoredPosition storedPositions[] = {
    {"Cursors/VA", &VerticalCursors::positionA, nullptr, 0, 2 * 3840},
    {"Cursors/VB", &VerticalCursors::positionB, nullptr, 0, 2 * 3840},
    {"Cursors/CH1A", nullptr, &HorizontalCursors::ch1A, -1280, 1280},
    {"Cursors/CH1B", nullptr, &HorizontalCursors::ch1B, -1280, 1280},
    {"Cursors/CH2A", nullptr, &HorizontalCursors::ch2A, -1280, 1280},
    {"Cursors/CH2B", nullptr, &HorizontalCursors::ch2B, -1280, 1280},
};
} // namespace

CursorControls::CursorControls(Ui::VeltoInterface *ui, ScopeState *state, ScopePlot *plot, QObject *parent)
    : QObject(parent), ui(ui), state(state), plot(plot)
{
    // The cursors start once all their items exist.
    vCursorInit();
    hCursorInit();
    foldsFrame(ui->collapsiblePanelScopeCursors, ui->frameScopeCursors);
    connect(ui->checkBoxCursorVertical, &QCheckBox::toggled, this, &CursorControls::cursorsVerticalChanged);
    connect(ui->checkBoxScopeCursorsHorizontal, &QCheckBox::toggled, this,
            &CursorControls::cursorsHorizontalChanged);
    connect(ui->comboBoxScopeCursorsHorizontalType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CursorControls::cursorsHorizontalTypeSet);
    connect(ui->comboBoxScopeCursorsChannel, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CursorControls::cursorsSetChannelActive);
}

void CursorControls::vCursorInit()
{
    vCursors.vCursorInit();
    vCursorSetRange(8, 2 * state->samplesPerChannel - 8);
    vCursorSetVisible(false);
}

void CursorControls::vCursorSetRange(int low, int high)
{
    vCursors.vCursorSetRange(low, high, 2 * state->samplesPerChannel);
}

void CursorControls::vCursorSetPosition(int a, int b)
{
    vCursors.vCursorSetPosition(a, b);
    vCursorRefresh();
}

void CursorControls::vCursorSetVisible(bool on)
{
    const ScopeItems &items = plot->items();
    vCursors.vCursorSetVisible(on);
    for (int k = 0; k < 2; ++k) {
        items.vCursorHandle[k]->setVisible(on);
        items.vCursorLine[k]->setVisible(on);
    }
    vCursorSetLabelVisible(on);
}

void CursorControls::vCursorSetLabelVisible(bool on)
{
    const ScopeItems &items = plot->items();
    items.labelDeltaTime->setVisible(on);
    items.labelFrequency->setVisible(on);
}

void CursorControls::vCursorSetLabelColor(const QColor &colour)
{
    const ScopeItems &items = plot->items();
    items.labelDeltaTime->setColor(colour);
    items.labelFrequency->setColor(colour);
}

void CursorControls::vCursorRefreshA()
{
    const ScopeItems &items = plot->items();
    if (!vCursors.visible)
        return;
    vCursors.positionA = vCursors.clampedA();
    ScopePlot::placeHandle(items.vCursorHandle[0], plot->plot()->xAxis->coordToPixel(vCursors.positionA), 12, true);
}

void CursorControls::vCursorRefreshB()
{
    const ScopeItems &items = plot->items();
    if (!vCursors.visible)
        return;
    vCursors.positionB = vCursors.clampedB();
    ScopePlot::placeHandle(items.vCursorHandle[1], plot->plot()->xAxis->coordToPixel(vCursors.positionB), 12, true);
}

void CursorControls::vCursorRefresh()
{
    vCursorRefreshA();
    vCursorRefreshB();
    plot->ch1vZeroRefresh();
    vCursorRefreshLabel();
}

void CursorControls::vCursorRefreshLabel()
{
    const ScopeItems &items = plot->items();
    if (!vCursors.visible)
        return;
    const VerticalCursors::Labels labels = vCursors.labels();
    items.labelDeltaTime->setText(labels.deltaTime);
    items.labelFrequency->setText(labels.frequency);
}

void CursorControls::cursorsVerticalChanged(bool on)
{
    vCursorSetVisible(verticalCursorsShown(on, state->settings.xyMode));
    vCursorRefresh();
    state->redrawRequested = true;
}

void CursorControls::hCursorInit()
{
    hCursors.hCursorInit();
    hCursorRefreshVisible();
    hCursorSetTracerVisible(false);
}

void CursorControls::hCursorSetVisible(bool on)
{
    hCursors.hCursorSetVisible(on);
    hCursorRefreshVisible();
}

void CursorControls::hCursorSetChannelEnabled(int channel, bool on)
{
    // The cursors show only while their channel is in the frame: a change of
    // that shows or hides them at once.
    const bool wasShown = hCursors.shown();
    hCursors.hCursorSetChannelEnabled(channel, on);
    if (hCursors.shown() != wasShown)
        hCursorRefreshVisible();
}

void CursorControls::hCursorRefreshVisible()
{
    const ScopeItems &items = plot->items();
    const bool shown = hCursors.shown();
    for (int k = 0; k < 2; ++k) {
        items.hCursorHandle[k]->setVisible(shown);
        items.hCursorLine[k]->setVisible(shown);
    }
    hCursorSetLabelVisible(shown);
    hCursorSetTracerVisible(hCursors.type == Cursors::Track);
}

void CursorControls::hCursorSetLabelVisible(bool on)
{
    const ScopeItems &items = plot->items();
    items.labelVoltA->setVisible(on);
    items.labelVoltB->setVisible(on);
    items.labelDeltaVolt->setVisible(on);
}

void CursorControls::hCursorSetLabelColor(const QColor &colour)
{
    const ScopeItems &items = plot->items();
    items.labelVoltA->setColor(colour);
    items.labelVoltB->setColor(colour);
    items.labelDeltaVolt->setColor(colour);
}

void CursorControls::hCursorSetTracerVisible(bool on)
{
    const ScopeItems &items = plot->items();
    // The circles show only with the cursors they belong to.
    const HorizontalCursors::Tracers shown = hCursors.tracersShown(on && hCursors.shown());
    for (int k = 0; k < 2; ++k) {
        items.tracers[0][k]->setVisible(shown.ch1);
        items.tracers[1][k]->setVisible(shown.ch2);
    }
}

void CursorControls::hCursorRefreshA()
{
    const ScopeItems &items = plot->items();
    const int absolute = hCursors.hCursorRefreshA(hCursors.absoluteA, state->zeroLevel[0], state->zeroLevel[1]);
    ScopePlot::placeHandle(items.hCursorHandle[0], 14, plot->plot()->yAxis->coordToPixel(absolute), false);
}

void CursorControls::hCursorRefreshB()
{
    const ScopeItems &items = plot->items();
    const int absolute = hCursors.hCursorRefreshB(hCursors.absoluteB, state->zeroLevel[0], state->zeroLevel[1]);
    ScopePlot::placeHandle(items.hCursorHandle[1], 14, plot->plot()->yAxis->coordToPixel(absolute), false);
}

void CursorControls::hCursorSetPositionAuto(bool on, double ch1Max, double ch1Min, double ch2Max, double ch2Min)
{
    const ScopeItems &items = plot->items();
    const ScopeGraphs &graphs = plot->graphs();
    if (!hCursors.autoPlacementApplies(on))
        return;
    const int ch = hCursors.channel;
    double a = ch == 0 ? ch1Max : ch2Max;
    double b = ch == 0 ? ch1Min : ch2Min;
    if (hCursors.type == Cursors::Track) {
        // An empty graph gives the items.tracers no value: the cursors stay.
        if ((ch == 0 ? graphs.ch1 : graphs.ch2)->data()->isEmpty())
            return;
        const int keys[2] = {vCursors.clampedA(), vCursors.clampedB()};
        for (int k = 0; k < 2; ++k) {
            items.tracers[ch][k]->setGraph(ch == 0 ? graphs.ch1 : graphs.ch2);
            items.tracers[ch][k]->setGraphKey(keys[k]);
            items.tracers[ch][k]->updatePosition();
        }
        a = items.tracers[ch][0]->position->value();
        b = items.tracers[ch][1]->position->value();
    }
    if (!hCursors.hCursorSetPositionAuto(on, a, b, state->zeroLevel[0], state->zeroLevel[1]))
        return;
    ScopePlot::placeHandle(items.hCursorHandle[0], 14, plot->plot()->yAxis->coordToPixel(hCursors.handleA(state->zeroLevel[0], state->zeroLevel[1])),
                false);
    ScopePlot::placeHandle(items.hCursorHandle[1], 14, plot->plot()->yAxis->coordToPixel(hCursors.handleB(state->zeroLevel[0], state->zeroLevel[1])),
                false);
}

void CursorControls::hCursorRefreshLabel(bool on, const QString &ch1Scale, const QString &ch2Scale)
{
    const ScopeItems &items = plot->items();
    if (!on)
        return;
    const HorizontalCursors::Labels labels = hCursors.labels(ch1Scale, ch2Scale);
    items.labelVoltA->setText(labels.voltA);
    items.labelVoltB->setText(labels.voltB);
    items.labelDeltaVolt->setText(labels.deltaVolt);
}

void CursorControls::cursorsHorizontalChanged(bool on)
{
    hCursorSetVisible(hCursors.switchedOn(on, state->settings.xyMode));
    state->redrawRequested = true;
}

void CursorControls::cursorsSetChannelActive(int channel)
{
    const ScopeItems &items = plot->items();
    const ScopeGraphs &graphs = plot->graphs();
    hCursors.setChannel(channel);
    cursorsHorizontalChanged(ui->checkBoxScopeCursorsHorizontal->isChecked());
    hCursors.absoluteA = hCursors.handleA(state->zeroLevel[0], state->zeroLevel[1]);
    hCursors.absoluteB = hCursors.handleB(state->zeroLevel[0], state->zeroLevel[1]);
    ScopePlot::placeHandle(items.hCursorHandle[0], 14, plot->plot()->yAxis->coordToPixel(hCursors.absoluteA), false);
    ScopePlot::placeHandle(items.hCursorHandle[1], 14, plot->plot()->yAxis->coordToPixel(hCursors.absoluteB), false);
    // The levels read in the channel's colour; the times (ΔT, 1/ΔT) belong
    // to no channel and keep the theme's label colour.
    hCursorSetLabelColor((hCursors.channel == 0 ? graphs.ch1 : graphs.ch2)->pen().color());
    hCursorRefreshVisible();
    hCursorSetTracerVisible(hCursors.type == Cursors::Track);
    state->redrawRequested = true;
}

void CursorControls::cursorsHorizontalTypeSet(int type)
{
    const CursorTypeEffects effects = cursorTypeEffects(type, ui->checkBoxCursorVertical->isChecked());
    // The box's handler shows the vertical cursors.
    if (effects.checkVerticalCursors && !ui->checkBoxCursorVertical->isChecked())
        ui->checkBoxCursorVertical->setChecked(true);
    hCursors.setType(type);
    hCursorSetTracerVisible(effects.tracersOn);
    state->redrawRequested = true;
}

void CursorControls::followZeroLevels()
{
    hCursors.absoluteA = hCursors.handleA(state->zeroLevel[0], state->zeroLevel[1]);
    hCursors.absoluteB = hCursors.handleB(state->zeroLevel[0], state->zeroLevel[1]);
    hCursorRefreshA();
    hCursorRefreshB();
}

void CursorControls::followAxes()
{
    followZeroLevels();
    vCursorRefresh();
}

void CursorControls::dragHorizontal(int cursor, int level)
{
    if (cursor == 0) {
        hCursors.absoluteA = level;
        hCursorRefreshA();
    } else {
        hCursors.absoluteB = level;
        hCursorRefreshB();
    }
}

void CursorControls::dragVertical(int cursor, int key)
{
    if (cursor == 0) {
        vCursors.positionA = key;
        vCursorRefreshA();
    } else {
        vCursors.positionB = key;
        vCursorRefreshB();
    }
    vCursorRefreshLabel();
}

void CursorControls::saveCursors(QSettings &store) const
{
    for (const StoredPosition &p : storedPositions)
        store.setValue(QLatin1String(p.key), p.vertical ? vCursors.*p.vertical : hCursors.*p.horizontal);
}

void CursorControls::loadCursors(const QSettings &store)
{
    for (const StoredPosition &p : storedPositions) {
        const QVariant stored = store.value(QLatin1String(p.key));
        if (!stored.isValid())
            continue;
        bool ok = false;
        const int value = stored.toInt(&ok);
        if (!ok || value < p.low || value > p.high) {
            VELTO_LOG(QStringLiteral("Device settings: \"%1\" is not a cursor position (%2), default used")
                          .arg(QLatin1String(p.key), stored.toString()),
                      2);
            continue;
        }
        (p.vertical ? vCursors.*p.vertical : hCursors.*p.horizontal) = value;
    }
}
