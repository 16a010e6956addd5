// Playing a recording back one frame a tick: the order of the frames and
// their time bases, the end when the queue runs short, and what comes back.
#include "scope/waveplayback.h"

#include <QtTest>

namespace {
QVector<QVector<double>> frames(int count, int extraVectors = 0)
{
    QVector<QVector<double>> vectors;
    for (int f = 0; f < count; ++f)
        for (int v = 0; v < WavePlayback::vectorsPerFrame; ++v)
            vectors << QVector<double>(4, 100.0 * f + v);
    for (int v = 0; v < extraVectors; ++v)
        vectors << QVector<double>(4, -1.0);
    return vectors;
}
} // namespace

class TestWavePlayback : public QObject
{
    Q_OBJECT
private slots:
    void framesInOrderThenTheTimeBaseBefore();
};

void TestWavePlayback::framesInOrderThenTheTimeBaseBefore()
{
    // Two whole frames and nine stray vectors: the strays are never shown.
    WavePlayback playback;
    QVERIFY(playback.next().ended);
    playback.start(frames(2, 9), {3, 99}, 8);
    for (int f = 0; f < 2; ++f) {
        const WavePlayback::Step step = playback.next();
        QVERIFY(!step.ended);
        QCOMPARE(step.samplingIndex, f == 0 ? 3 : 21); // held to the slider
        QCOMPARE(step.frame.size(), 10);
        QCOMPARE(step.frame.first().first(), 100.0 * f);    // CH1
        QCOMPARE(step.frame.last().first(), 100.0 * f + 9); // bit 7
    }
    const WavePlayback::Step end = playback.next();
    QVERIFY(end.ended && end.frame.isEmpty() && !playback.active());
    QCOMPARE(end.samplingIndex, 8);
    // More frames than time bases: playing stops where the time bases do.
    playback.start(frames(3), {-4}, 7);
    QVERIFY(playback.next().samplingIndex == 0 && playback.next().ended);
}

QTEST_MAIN(TestWavePlayback)
#include "tst_waveplayback.moc"
