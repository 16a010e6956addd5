// SPDX-License-Identifier: GPL-3.0-only
// A fault soak of the real window on the virtual instrument: for a given
// time the time base, buffer, channels and generator change as a user would
// change them, while the instrument's faults strike at seeded random
// moments: a pulled cable, a control transfer that times out or stalls, a
// short, long or garbage frame, a wrong identification after a reconnect.
// After each fault that costs the connection the soak reconnects as a user
// would, by the connect button. It prints the longest stall of the GUI
// thread's event loop (a 10 ms timer measuring its own lateness) and the
// 99th percentile of its lateness, the
// frames acquired by the transport and shown by the display, the faults
// struck, the recording made all along and read back, and the log lines
// that came most often.
//
// Usage: velto_soak [seconds=180] [seed=1]
// Exit status 1 when the GUI thread stalled longer than 50 ms (the
// instrument's answers never hold it up: control transfers leave from the
// transport's own thread), stalled twice in a row for one fault, the window
// did not come back, or the recording is not whole.
#include "common/windowtest.h"
#include "device/usbseam.h"
#include "scope/recordcontrols.h"
#include "core/scope/recordingfile.h"
#include "ui/messagepresenter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace
{

// --- Log lines, counted by their text with the numbers taken out -------------
QHash<QString, int> logCounts;
QtMessageHandler previousHandler = nullptr;

void countMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    static const QRegularExpression digits(QStringLiteral("[0-9]+"));
    QString key = message.left(80);
    key.replace(digits, QStringLiteral("#"));
    ++logCounts[key];
}

// --- Frames acquired: completed bulk reads with data, seen on the wire ---------
std::atomic<quint64> framesAcquired{0};
std::atomic<int> lastReadLength{0};

void countWire(const QString &line)
{
    const QStringList fields = line.split(QLatin1Char(' '));
    const int at = fields.indexOf(QStringLiteral("bulkin"));
    if (at >= 0 && at + 2 < fields.size() && fields.at(at + 1) == QLatin1String("0") &&
        fields.at(at + 2).toInt() > 0) {
        ++framesAcquired;
        lastReadLength = fields.at(at + 2).toInt();
    }
}

// --- The GUI thread's time on a CPU and waiting for one, in ns ---------------
// (from the scheduler's own account), so that a stall can be told apart:
// work of the window, a wait of its thread, or a machine too busy to run it.
struct SchedulerTime {
    qint64 running = 0;
    qint64 waitingForCpu = 0;
};
SchedulerTime schedulerTime()
{
    SchedulerTime t;
    if (FILE *f = std::fopen("/proc/thread-self/schedstat", "r")) {
        long long run = 0, wait = 0;
        if (std::fscanf(f, "%lld %lld", &run, &wait) == 2)
            t = {run, wait};
        std::fclose(f);
    }
    return t;
}

// --- What the GUI thread is in while it is away -------------------------------
// A watcher thread looks every 5 ms; while the GUI thread's last tick is
// over 30 ms old it notes the kernel's word for where that thread waits
// (wchan) and its system call, or "running" when it runs.
class StallWatcher
{
public:
    void start(const QElapsedTimer *clock)
    {
        guiTask = QStringLiteral("/proc/self/task/%1/").arg(long(::syscall(SYS_gettid)));
        thread = std::thread([this, clock] {
            while (!stopping) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                if (clock->elapsed() - lastTick.load() > 30)
                    note();
            }
        });
    }
    void stop()
    {
        stopping = true;
        if (thread.joinable())
            thread.join();
    }
    void tick(qint64 now) { lastTick = now; }
    QVector<QPair<int, QString>> seen() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        QVector<QPair<int, QString>> out;
        for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
            out.append({it.value(), it.key()});
        std::sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
        return out;
    }

private:
    void note()
    {
        QFile wchan(guiTask + QStringLiteral("wchan"));
        QFile call(guiTask + QStringLiteral("syscall"));
        QFile stat(guiTask + QStringLiteral("stat"));
        if (!wchan.open(QIODevice::ReadOnly) || !call.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            return;
        const QByteArray state = stat.readAll().split(')').value(1).trimmed().left(1);
        const QByteArray where = state == "R" ? QByteArray("running") : wchan.readAll().trimmed();
        const QByteArray number = call.readAll().split(' ').value(0).trimmed();
        std::lock_guard<std::mutex> lock(mutex);
        ++counts[QStringLiteral("%1 %2, system call %3").arg(QString::fromLatin1(state), QString::fromLatin1(where),
                                                             QString::fromLatin1(number))];
    }

    QString guiTask;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<qint64> lastTick{0};
    mutable std::mutex mutex;
    QHash<QString, int> counts;
};

// --- Recording -----------------------------------------------------------------
// The soak records all along, through the Record panel, into the soak's
// own folder. At each fault the frames recorded so far are noted; at each
// pulled cable the file is read back while the recording goes on, and at
// the end the recording is stopped and read back whole with
// RecordingReader: every block a whole frame (ten sections, its ten
// hyphens, a time base), nothing skipped, and at least as many blocks as
// were recorded when the last fault struck.
class RecordingProbe
{
public:
    void begin(VeltoInterface &w)
    {
        RecordControls::Dialogs dialogs;
        dialogs.chooseFolder = [](const QString &, const QString &) { return QDir::currentPath(); };
        dialogs.chooseFile = [](const QString &, const QString &, const QString &) { return QString(); };
        dialogs.inform = [this](const QString &title, const QString &text) { boxes << title + QStringLiteral(": ") + text; };
        w.record()->setDialogs(dialogs);
        w.record()->setFolder(QDir::currentPath());
        w.form()->recordButton->click();
        path = w.record()->recordingWriter().fileName();
        since.start();
    }

    void faultStruck(VeltoInterface &w, const QString &fault)
    {
        const qint64 blocks = w.record()->recordingWriter().blocksWritten();
        notes.append({since.elapsed(), blocks});
        if (fault == QLatin1String("pulled cable") && w.record()->isRecording())
            checkWhileRecording();
    }

    // Lines for the report; false when the recording failed its check.
    bool end(VeltoInterface &w, QStringList *report)
    {
        if (path.isEmpty()) {
            *report << QStringLiteral("recording: NOT started (%1)").arg(boxes.join(QStringLiteral("; ")));
            return false;
        }
        const bool stillOn = w.record()->isRecording();
        const qint64 written = w.record()->recordingWriter().blocksWritten();
        if (stillOn)
            w.form()->recordButton->click();
        const qint64 atLastFault = notes.isEmpty() ? 0 : notes.last().second;
        collect();
        const Count count = readBack(path);
        const bool good = stillOn && count.opened && count.broken == 0 && count.skipped == 0 && count.error.isEmpty() &&
                          count.whole == written && count.whole >= atLastFault && partial.isEmpty();
        *report << QStringLiteral("recording: %1 frames written, %2 read back whole, %3 broken, %4 skipped%5; "
                                  "%6 recorded before the last of %7 faults; %8 when the soak ended")
                       .arg(written)
                       .arg(count.whole)
                       .arg(count.broken)
                       .arg(count.skipped)
                       .arg(count.error.isEmpty() ? QString() : QStringLiteral(", error \"%1\"").arg(count.error))
                       .arg(atLastFault)
                       .arg(notes.size())
                       .arg(stillOn ? QStringLiteral("still recording") : QStringLiteral("NOT recording"));
        *report << QStringLiteral("recording read back during %1 pulled cables (%2 more while one was read): %3")
                       .arg(checksWhileRecording)
                       .arg(checksSkipped)
                       .arg(partial.isEmpty() ? QStringLiteral("every block whole, none missing older than %1 ms")
                                                    .arg(settleMs)
                                              : partial.join(QStringLiteral("; ")));
        *report << QStringLiteral("recording: %1").arg(good ? QStringLiteral("whole") : QStringLiteral("FAILED"));
        return good;
    }

private:
    // The recorder pushes the file to the disk each second (by its timer or
    // the next block): what was recorded this long ago is in the file.
    static constexpr qint64 settleMs = 2500;

    struct Count {
        bool opened = false;
        qint64 whole = 0;  // frames with their ten sections and a time base
        qint64 broken = 0; // frames read with fewer sections or no time base
        int skipped = 0;
        QString error;
        bool lastCut = false; // the last frame read had no ten hyphens yet
    };

    static Count readBack(const QString &path)
    {
        Count c;
        RecordingReader reader;
        c.opened = reader.open(path);
        if (!c.opened) {
            c.error = reader.errorString();
            return c;
        }
        WaveText::Frame frame;
        while (reader.next(frame)) {
            if (frame.sectionsRead == WaveText::vectorsPerFrame && frame.samplingIndex >= 0 && frame.samplingIndex <= 21)
                ++c.whole;
            else
                ++c.broken;
        }
        c.skipped = reader.blocksSkipped();
        c.error = reader.errorString();
        // A frame still being written is cut short: not counted against the file.
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.size() > 0) {
            file.seek(qMax<qint64>(0, file.size() - 64));
            c.lastCut = !file.readAll().trimmed().endsWith(WaveText::frameEnd().toLatin1());
        }
        return c;
    }

    // Reading back a file of a hundred megabytes takes seconds: it is done
    // on a thread of its own, so that the soak's stall figures stay the
    // window's, and its verdict is taken at the next check or at the end.
    void checkWhileRecording()
    {
        if (pending.valid() && pending.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            ++checksSkipped;
            return;
        }
        collect();
        ++checksWhileRecording;
        qint64 settled = 0;
        for (const auto &note : notes) {
            if (note.first <= since.elapsed() - settleMs)
                settled = note.second;
        }
        const double at = since.elapsed() / 1000.0;
        pending = std::async(std::launch::async, [file = path, settled, at] {
            Count c = readBack(file);
            if (c.lastCut && c.broken > 0)
                --c.broken;
            if (c.opened && c.broken == 0 && c.skipped == 0 && c.whole >= settled)
                return QString();
            return QStringLiteral("at %1 s %2 whole, %3 broken, %4 skipped, %5 recorded %6 ms before")
                .arg(at, 0, 'f', 1)
                .arg(c.whole)
                .arg(c.broken)
                .arg(c.skipped)
                .arg(settled)
                .arg(settleMs);
        });
    }

    void collect()
    {
        if (!pending.valid())
            return;
        const QString problem = pending.get();
        if (!problem.isEmpty())
            partial << problem;
    }

    QString path;
    QStringList boxes;
    QElapsedTimer since;
    QVector<QPair<qint64, qint64>> notes; // (ms since the start, frames recorded) at each fault
    int checksWhileRecording = 0;
    int checksSkipped = 0; // a pulled cable while the last read-back still ran
    std::future<QString> pending;
    QStringList partial;
};

enum class Fault { PulledCable, ControlTimeout, ControlStall, ShortFrame, LongFrame, GarbageFrame, WrongIdentification };
const char *faultName(Fault f)
{
    switch (f) {
    case Fault::PulledCable: return "pulled cable";
    case Fault::ControlTimeout: return "control timeout";
    case Fault::ControlStall: return "control stall";
    case Fault::ShortFrame: return "short frame";
    case Fault::LongFrame: return "long frame";
    case Fault::GarbageFrame: return "garbage frame";
    case Fault::WrongIdentification: return "wrong identification";
    }
    return "?";
}
constexpr int faultKinds = 7;

// A stall worth naming: the GUI thread away longer than this.
constexpr qint64 notableStallMs = 250;
// The longest the GUI thread may be away: showing what happened, never
// waiting for the instrument.
constexpr qint64 stallLimitMs = 50;

class Soak : public QObject
{
public:
    Soak(VeltoInterface &window, quint32 seed, int seconds, RecordingProbe &recording)
        : w(window), ui(window.form()), random(seed), seconds(seconds), recording(recording)
    {
    }

    int run();

private:
    void tick();
    void userAction();
    void strike();
    bool reconnect();
    bool waitConnected(int ms);
    int bounded(int lo, int hi) { return lo + int(random.bounded(quint32(hi - lo + 1))); }

    VeltoInterface &w;
    Ui::VeltoInterface *ui;
    QRandomGenerator random;
    int seconds;
    RecordingProbe &recording;

    QElapsedTimer clock;
    qint64 lastTick = -1;
    SchedulerTime lastScheduler;
    // The longest stall less the time the thread waited for a CPU.
    qint64 longestOwnStall = 0;
    QString longestOwnStallDuring;
    int stallsOverLimit = 0;
    qint64 longestStall = 0;
    // How many ticks came how late, by milliseconds (the last bucket: that or later).
    std::vector<quint64> lateness = std::vector<quint64>(2001, 0);
    QString longestStallDuring;
    QString activity = QStringLiteral("start");
    qint64 activitySince = 0;
    int faultSerial = 0;     // which fault the current activity belongs to (0: none)
    int faultCount = 0;
    int lastNotableFault = -1;
    int repeatedStalls = 0;
    QStringList notableStalls;
    int faultsStruck[faultKinds] = {};
    int reconnects = 0;
    int failedReconnects = 0;
    int userActions = 0;
    RecordingMessagePresenter messages;
    StallWatcher watcher;
};

void Soak::tick()
{
    const qint64 now = clock.elapsed();
    const SchedulerTime scheduler = schedulerTime();
    if (lastTick >= 0) {
        const qint64 late = now - lastTick - 10;
        const qint64 onCpu = (scheduler.running - lastScheduler.running) / 1000000;
        const qint64 cpuWait = (scheduler.waitingForCpu - lastScheduler.waitingForCpu) / 1000000;
        const qint64 own = qMax<qint64>(0, late - cpuWait);
        ++lateness[size_t(qBound<qint64>(0, late, qint64(lateness.size()) - 1))];
        if (late > longestStall) {
            longestStall = late;
            longestStallDuring = activity;
        }
        if (own > longestOwnStall) {
            longestOwnStall = own;
            longestOwnStallDuring = activity;
        }
        const auto stallLine = [&] {
            return QStringLiteral("%1 ms at %2 s during %3 (on a CPU %4 ms, waiting for one %5 ms)")
                .arg(late)
                .arg(now / 1000.0, 0, 'f', 1)
                .arg(activity)
                .arg(onCpu)
                .arg(cpuWait);
        };
        if (late > stallLimitMs) {
            ++stallsOverLimit;
            if (late <= notableStallMs)
                notableStalls << stallLine();
        }
        if (late > notableStallMs) {
            notableStalls << stallLine();
            // Two long stalls for one fault: the fault was met twice instead of handled once.
            if (faultSerial > 0 && faultSerial == lastNotableFault)
                ++repeatedStalls;
            lastNotableFault = faultSerial;
        }
    }
    lastTick = now;
    lastScheduler = scheduler;
    watcher.tick(now);
}

bool Soak::waitConnected(int ms)
{
    return QTest::qWaitFor([&] { return ui->connectButton->text() == QLatin1String("Disconnect"); }, ms);
}

// As a user: a button that still says Disconnect is pressed first, then Connect.
bool Soak::reconnect()
{
    ++reconnects;
    if (ui->connectButton->text() == QLatin1String("Disconnect"))
        QTest::mouseClick(ui->connectButton, Qt::LeftButton);
    QTest::mouseClick(ui->connectButton, Qt::LeftButton);
    if (waitConnected(3000))
        return true;
    ++failedReconnects;
    return false;
}

void Soak::userAction()
{
    ++userActions;
    faultSerial = 0;
    static const char *const kinds[] = {"time base", "buffer size", "trace box", "waveform", "frequency",
                                        "generator on/off", "page"};
    const int kind = bounded(0, 6);
    activity = QStringLiteral("user action (%1)").arg(QLatin1String(kinds[kind]));
    switch (kind) {
    case 0:
        ui->samplingSlider->setValue(bounded(0, 11));
        break;
    case 1:
        ui->comboBoxADCBuffer->setCurrentIndex(bounded(0, ui->comboBoxADCBuffer->count() - 1));
        break;
    case 2: {
        QCheckBox *boxes[] = {ui->checkBoxCH1Trace, ui->checkBoxCH2Trace, ui->checkBoxCHDTrace};
        boxes[bounded(0, 2)]->click();
        break;
    }
    case 3: {
        QRadioButton *waves[] = {ui->radioButtonSine, ui->radioButtonSquare, ui->radioButtonTriangle,
                                 ui->radioButtonExpo};
        waves[bounded(0, 3)]->click();
        break;
    }
    case 4:
        ui->frequencySlider->setValue(bounded(ui->frequencySlider->minimum(), ui->frequencySlider->maximum()));
        break;
    case 5:
        ui->checkBoxAWGEnable->click();
        break;
    default:
        // Now and then a look at another page (the meter polls there), then back.
        ui->mainTabWidget->setCurrentIndex(bounded(0, 1) == 0 ? 0 : bounded(0, ui->mainTabWidget->count() - 1));
        break;
    }
}

void Soak::strike()
{
    VirtualInstrument &bench = virtualBench();
    const Fault fault = Fault(bounded(0, faultKinds - 1));
    ++faultsStruck[int(fault)];
    faultSerial = ++faultCount;
    activity = QString::fromLatin1(faultName(fault));
    recording.faultStruck(w, activity);
    // Frames flow only on the scope page: the frame faults are met there.
    switch (fault) {
    case Fault::PulledCable:
        bench.setAttached(false);
        QTest::qWait(bounded(200, 2500));
        bench.setAttached(true);
        QTest::qWait(bounded(100, 800)); // the user looks before pressing
        reconnect();
        break;
    case Fault::ControlTimeout:
    case Fault::ControlStall:
        bench.failNextControl(fault == Fault::ControlTimeout ? VirtualInstrument::ControlFault::Timeout
                                                              : VirtualInstrument::ControlFault::Stall);
        // The next setting the user changes meets it.
        ui->samplingSlider->setValue(ui->samplingSlider->value() == 5 ? 6 : 5);
        QTest::qWait(300);
        if (ui->connectButton->text() != QLatin1String("Disconnect") || w.session()->usb().connectionLostFlag)
            reconnect();
        break;
    case Fault::ShortFrame:
        bench.failNextFrame(VirtualInstrument::FrameFault::Short);
        break;
    case Fault::LongFrame:
        bench.failNextFrame(VirtualInstrument::FrameFault::Long);
        break;
    case Fault::GarbageFrame:
        bench.failNextFrame(VirtualInstrument::FrameFault::WrongHeader);
        break;
    case Fault::WrongIdentification:
        bench.setIdentificationFault(bounded(0, 1) ? VirtualInstrument::IdentificationFault::UnknownModel
                                                   : VirtualInstrument::IdentificationFault::WrongLength);
        bench.setAttached(false);
        QTest::qWait(bounded(200, 1000));
        bench.setAttached(true);
        QTest::qWait(200);
        // Refused, or half open after the profile's message: pressed as a user would, not counted.
        if (ui->connectButton->text() == QLatin1String("Disconnect"))
            QTest::mouseClick(ui->connectButton, Qt::LeftButton);
        QTest::mouseClick(ui->connectButton, Qt::LeftButton);
        QTest::qWait(300);
        // The right instrument is plugged in again.
        bench.setIdentificationFault(VirtualInstrument::IdentificationFault::None);
        bench.setAttached(false);
        QTest::qWait(200);
        bench.setAttached(true);
        QTest::qWait(200);
        reconnect();
        break;
    }
}

int Soak::run()
{
    ScopedCriticalMessagePresenter installed(&messages);
    w.session()->setScopeStartDelay(50);
    w.resize(1400, 900);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w) || !connectToBench(w)) {
        std::fprintf(stderr, "soak: the window did not connect to the virtual instrument\n");
        return 1;
    }
    recording.begin(w);
    QTimer stallMeter;
    stallMeter.setTimerType(Qt::PreciseTimer);
    connect(&stallMeter, &QTimer::timeout, this, &Soak::tick);
    clock.start();
    watcher.start(&clock);
    stallMeter.start(10);

    const qint64 end = qint64(seconds) * 1000;
    qint64 nextFault = bounded(2000, 6000);
    qint64 nextAction = bounded(200, 1200);
    while (clock.elapsed() < end) {
        QTest::qWait(20);
        const qint64 now = clock.elapsed();
        if (now >= nextAction) {
            userAction();
            activitySince = clock.elapsed();
            nextAction = now + bounded(200, 1200);
        }
        if (now >= nextFault) {
            strike();
            activitySince = clock.elapsed();
            nextFault = clock.elapsed() + bounded(1500, 6000);
        }
        // A stall within a second of an action or fault is put down to it.
        if (clock.elapsed() - activitySince > 1000) {
            activity = QStringLiteral("running");
            faultSerial = 0;
        }
    }

    // Whatever the last fault left, the window must come back and show frames.
    ui->mainTabWidget->setCurrentIndex(0);
    if (ui->connectButton->text() != QLatin1String("Disconnect") || w.session()->usb().connectionLostFlag)
        reconnect();
    const quint64 shownBefore = w.display()->counts().framesShown;
    ui->samplingSlider->setValue(5);
    if (!ui->checkBoxCH1Trace->isChecked())
        ui->checkBoxCH1Trace->click();
    const bool framesAfter =
        QTest::qWaitFor([&] { return w.display()->counts().framesShown > shownBefore + 5; }, 10000);
    if (!framesAfter)
        std::printf("after the run: button \"%s\", lost %d, scope running %d, buffer %d, time base %d, shown %llu, acquired %llu, last read %d bytes, CH1 %d CH2 %d CHD %d\n",
                    qPrintable(ui->connectButton->text()), int(w.session()->usb().connectionLostFlag),
                    int(virtualBench().scopeRunning()), ui->comboBoxADCBuffer->currentIndex(),
                    ui->samplingSlider->value(), (unsigned long long)w.display()->counts().framesShown,
                    (unsigned long long)framesAcquired.load(), lastReadLength.load(), ui->checkBoxCH1Trace->isChecked(),
                    ui->checkBoxCH2Trace->isChecked(), ui->checkBoxCHDTrace->isChecked());
    stallMeter.stop();
    watcher.stop();

    // The counts as the run left them: reading the recording back below
    // holds the window up for a while, and the reads that come meanwhile
    // are not the run's.
    LibUsbDevice &usb = w.session()->usb();
    const ScopeDisplay::Counts counts = w.display()->counts();
    const LibUsbDevice::QueueCounts queueCounts = usb.queueCounts();
    const int queued = usb.queuedReads();
    QStringList report;
    const bool recordingWhole = recording.end(w, &report);
    std::printf("soak: %d s, seed as given, %d user actions\n", seconds, userActions);
    std::printf("faults struck:");
    for (int k = 0; k < faultKinds; ++k)
        std::printf(" %s %d;", faultName(Fault(k)), faultsStruck[k]);
    std::printf("\nreconnects: %d (%d did not connect within 3 s)\n", reconnects, failedReconnects);
    std::printf("profile messages shown: %d\n", int(messages.messages.size()));
    std::printf("frames acquired by the transport: %llu\n", (unsigned long long)framesAcquired.load());
    std::printf("frames processed by the display: %llu (drawn ticks %llu); dropped on the way (frame numbers "
                "skipped) %llu; reads refused %llu\n",
                (unsigned long long)counts.framesShown, (unsigned long long)counts.drawnTicks,
                (unsigned long long)counts.framesMissed, (unsigned long long)counts.framesRefused);
    // Where the rest went: passed over for their shape or header, dropped by
    // a full queue while the window was held up, still queued at the end, or
    // dropped when the sniffer page took the newest read (the remainder).
    const quint64 overflowed = queueCounts.overflowed;
    const qint64 rest = qint64(queueCounts.delivered) -
                        qint64(counts.framesShown + counts.framesRefused + overflowed) - queued;
    std::printf("reads handed to the display: %llu; not processed: %llu refused (a shape before a change, or "
                "damaged), %llu dropped by a full queue, %d still queued at the end, %lld left on the sniffer page\n",
                (unsigned long long)queueCounts.delivered, (unsigned long long)counts.framesRefused,
                (unsigned long long)overflowed, queued, (long long)rest);
    std::printf("while the recording was read back: %llu more reads, %llu of them dropped by a full queue\n",
                (unsigned long long)(usb.queueCounts().delivered - queueCounts.delivered),
                (unsigned long long)(usb.queueCounts().overflowed - overflowed));
    quint64 ticks = 0;
    for (quint64 n : lateness)
        ticks += n;
    qint64 p99 = 0;
    for (quint64 seen = 0; p99 < qint64(lateness.size()) && (seen += lateness[size_t(p99)]) < (ticks * 99 + 99) / 100;)
        ++p99;
    std::printf("longest GUI stall: %lld ms during %s; 99th percentile %lld ms over %llu ticks\n", longestStall,
                qPrintable(longestStallDuring), p99, (unsigned long long)ticks);
    std::printf("longest GUI stall less the time its thread waited for a CPU (a machine busy elsewhere): %lld ms "
                "during %s\n",
                longestOwnStall, qPrintable(longestOwnStallDuring));
    std::printf("stalls over %lld ms: %d; twice in a row for one fault (over %lld ms): %d\n", stallLimitMs,
                stallsOverLimit, notableStallMs, repeatedStalls);
    for (const QString &s : notableStalls)
        std::printf("  %s\n", qPrintable(s));
    std::printf("where the GUI thread was while over 30 ms late (5 ms looks: state, wait channel, system call):\n");
    const auto seen = watcher.seen();
    for (int i = 0; i < seen.size() && i < 8; ++i)
        std::printf("  %5d  %s\n", seen[i].first, qPrintable(seen[i].second));
    for (const QString &line : report)
        std::printf("%s\n", qPrintable(line));
    std::printf("frames after the last reconnect: %s\n", framesAfter ? "yes" : "NO");

    QVector<QPair<int, QString>> common;
    for (auto it = logCounts.constBegin(); it != logCounts.constEnd(); ++it)
        common.append({it.value(), it.key()});
    std::sort(common.begin(), common.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    std::printf("log lines, most frequent first:\n");
    for (int i = 0; i < common.size() && i < 30; ++i)
        std::printf("  %7d  %s\n", common[i].first, qPrintable(common[i].second));

    const bool good = longestStall <= stallLimitMs && repeatedStalls == 0 && framesAfter && recordingWhole;
    std::printf("soak: %s\n", good ? "passed" : "FAILED");
    return good ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 180;
    const quint32 seed = argc > 2 ? quint32(strtoul(argv[2], nullptr, 10)) : 1u;
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const QString &file : QDir(QStringLiteral(VELTO_DATA_DIR)).entryList(QDir::Files))
        QFile::copy(QStringLiteral(VELTO_DATA_DIR "/") + file, home.path() + QLatin1Char('/') + file);
    QDir::setCurrent(home.path());
    useVirtualBench();
    QApplication app(argc, argv);
    previousHandler = qInstallMessageHandler(countMessage);
    WireTrace::instance().setSink(countWire);
    int status;
    {
        VeltoInterface window;
        RecordingProbe recording;
        Soak soak(window, seed, seconds, recording);
        status = soak.run();
        WireTrace::instance().setSink({});
    }
    std::fflush(stdout);
    return status;
}
