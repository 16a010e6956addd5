// SPDX-License-Identifier: GPL-3.0-only
#include "core/device/configprotocol.h"
#include "core/scope/triggermodel.h"

#include <QtTest>

using Trigger::ConfigWrite;

namespace {
// A model as the window has it after start with a 768-sample frame.
TriggerModel startedModel()
{
    TriggerModel model;
    model.triggerSetEnable(true);
    model.setFrameSize(768);
    return model;
}

int valueOf(const QVector<ConfigWrite> &writes, int index)
{
    for (const ConfigWrite &w : writes) {
        if (w.index == index)
            return w.value;
    }
    return INT_MIN;
}
} // namespace

class TestTriggerModel : public QObject
{
    Q_OBJECT
private slots:
    void statusFromRunStateModeAndPace()
    {
        using S = Trigger::Status;
        const struct {
            bool running, roll;
            Trigger::Mode mode;
            double since, gap;
            S expected;
        } rows[] = {{false, true, Trigger::Auto, 5, 5, S::Stopped},    {true, true, Trigger::Normal, 5, 5, S::Roll},
                    {true, false, Trigger::Free, -1, -1, S::Auto},     {true, false, Trigger::Single, 5, 5, S::Armed},
                    {true, false, Trigger::Normal, -1, -1, S::Armed},  {true, false, Trigger::Normal, 1020, 90, S::Triggered},
                    {true, false, Trigger::Normal, 1030, 90, S::Armed}, {true, false, Trigger::Auto, 50, 89, S::Triggered},
                    {true, false, Trigger::Auto, 50, 90, S::Auto},     {true, false, Trigger::Auto, 111, 10, S::Auto},
                    {true, false, Trigger::Auto, -1, -1, S::Auto}};
        for (const auto &row : rows) { // a time-out of 100 ms, frames of 10 ms
            const Trigger::Activity a{row.running, row.roll, row.mode, row.since, row.gap, 100.0, 10.0};
            QCOMPARE(Trigger::statusText(Trigger::status(a)), Trigger::statusText(row.expected));
        }
        // Volts and counts at 4 V/div (gain 1): 64 units a division, 1.5625 a count.
        QCOMPARE(Trigger::levelVolts(-64, 1), -6.25);
        QCOMPARE(Trigger::levelCounts(0.146, 1), 1); // the nearest count, 0.098 V
        QCOMPARE(Trigger::levelCounts(qQNaN(), 1), 0);
        QCOMPARE(Trigger::levelCounts(1.0, 10), 0); // a gain without a scale
    }
    void rangesFollowTheFrameSize()
    {
        TriggerModel model = startedModel();
        QCOMPARE(model.minimumPosition(), 4);
        QCOMPARE(model.maximumPosition(), 760);
        // Limits beyond what a level byte can hold are cut to ±125; the gap never below 16.
        model.triggerSetRange(-5, 40000, 60, 300, 4);
        QCOMPARE(model.maximumPosition(), 32767);
        QCOMPARE(model.windowLimit(), 125);
        QCOMPARE(model.windowGap(), 16);
        model.triggerSetPosition(100, 100);
        QCOMPARE(model.current().level, 60); // held to the level limit
        // A position kept from a larger buffer is pulled in when the buffer shrinks.
        model.setFrameSize(2048);
        model.triggerSetPosition(2000, 0);
        model.setFrameSize(256);
        QCOMPARE(model.current().position, 248);
        QCOMPARE(model.postWrite(), (ConfigWrite{16, 8}));
    }
    void levelsPlotUnitsAndMarkerPixels()
    {
        TriggerModel model = startedModel();
        model.triggerSetChannelOffset(0, -120);
        for (int level = -125; level <= 125; ++level)
            QCOMPARE(model.triggerPosYPixelToInt(model.levelToPlotY(level)), level);
        // Plot values between two levels truncate towards zero distance from the trace.
        QCOMPARE(model.triggerPosYPixelToInt(520.0 + 3.0), 1);
        QCOMPARE(model.triggerPosYPixelToInt(520.0 - 3.0), -1);
        QCOMPARE(TriggerModel::triggerPosXPlotToInt(1521.0), 760); // an odd x falls to the sample before
        // Slow sampling pins the markers to the left edge, whatever the position.
        model.triggerSetSlowSamplingRate(true);
        model.triggerSetMode(Trigger::Window);
        model.triggerSetPositionWin2(384, 32);
        model.triggerSetPositionWin1(384, -32);
        const TriggerModel::WindowPixels window = model.windowMarkerPixels({0, 1536, 0, 1000}, {0, 1280, 640, 0});
        QCOMPARE(window.low, QPointF(24, 405)); // CH1 drawn 120 units low
        QCOMPARE(window.high, QPointF(24, 355));
        // A logic marker is centred on its bit's trace.
        model.triggerSetChannel(Trigger::ChannelLogic);
        model.triggerSetChannelSize(2, 20);
        model.triggerSetChannelOffset(2, 8);
        QCOMPARE(model.triggerPosYBit(3), 640 + 3 * 40 + 10 + 2 + 8);
    }
    void sourceChangesKeepEachChannelsRecord()
    {
        // A logic source falling back to a rising edge is driven through the window
        // in tst_triggercontrols; here each source's own position and level.
        TriggerModel model = startedModel();
        model.triggerSetPosition(300, 40);
        model.sourceChanged(7, Trigger::Auto); // "Bit 5"
        model.triggerSetPosition(100, 0);
        model.triggerSetMode(Trigger::DualEdge); // allowed on logic, and kept for CH2
        TriggerModel::SourceChange change = model.sourceChanged(1, Trigger::Auto);
        QVERIFY(change.slopeAndWindowEnabled && !change.typeChanged);
        model.triggerSetPosition(500, -70);
        change = model.sourceChanged(0, Trigger::Auto);
        QCOMPARE(valueOf(change.writes, 16), 468);
        QCOMPARE(valueOf(change.writes, 17), 40);
        change = model.sourceChanged(1, Trigger::Auto);
        QCOMPARE(valueOf(change.writes, 16), 268);
        QCOMPARE(valueOf(change.writes, 17), -70);
        QCOMPARE(model.record(2).position, 100);
        QCOMPARE(model.record(2).bit, 5);
    }
    void controlByteForEveryTypeAndMode()
    {
        TriggerModel model;
        const int expected[6] = {0x80, 0x90, 0x00, 0x20, 0x30, 0x40};
        const Trigger::Mode modes[4] = {Trigger::Free, Trigger::Normal, Trigger::Single, Trigger::Auto};
        for (int type = 0; type < 6; ++type) {
            model.triggerSetMode(type);
            for (int bit = 0; bit < 4; ++bit)
                QCOMPARE(model.triggerControlValue(modes[bit]), expected[type] | (1 << bit));
        }
        model.triggerSetMode(9); // held to the list
        QCOMPARE(model.type(), int(Trigger::Window));
        QCOMPARE(Trigger::triggerHoldValue(300.0), 44);
        QCOMPARE(Trigger::triggerHoldValue(qQNaN()), 0);
    }
};

QTEST_GUILESS_MAIN(TestTriggerModel)
#include "tst_triggermodel.moc"
