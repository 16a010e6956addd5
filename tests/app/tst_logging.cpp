#include "base/logging.h"
#include "common/testsupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
// Runs `body` in a child process whose standard error goes to `logPath`, and
// returns the child's wait status.
int inChild(const QString &logPath, const std::function<void()> &body)
{
    fflush(stdout);
    fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        redirectStandardErrorTo(logPath);
        qInstallMessageHandler(loggingOutput);
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

QString readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
} // namespace

class TestLogging : public QObject
{
    Q_OBJECT
private slots:
    void lineFormats_data();
    void lineFormats();
    void thresholdFilters();
    void missingContextStillReadable();
    void programLevelsMapToChannels();
    void fatalAbortsEvenWhenFiltered();
    void levelFourOfTheProgramDoesNotAbort();
    void logFileIsRecreatedAndUnwritablePathKeepsStderr();
    void threadsNeverInterleave();
};

void TestLogging::lineFormats_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("word");
    QTest::newRow("debug") << int(QtDebugMsg) << "Debug";
    QTest::newRow("info") << int(QtInfoMsg) << "Info";
    QTest::newRow("warning") << int(QtWarningMsg) << "Warning";
    QTest::newRow("critical") << int(QtCriticalMsg) << "Critical";
    QTest::newRow("fatal") << int(QtFatalMsg) << "Fatal";
}

void TestLogging::lineFormats()
{
    QFETCH(int, type);
    QFETCH(QString, word);
    const QByteArray line = formatLogLine(QtMsgType(type), QStringLiteral("2026.12.06 12:00:01:002"),
                                          QStringLiteral("Größe ok"), "scope.cpp", 42, "void f()", 0);
    QCOMPARE(QString::fromLocal8Bit(line),
             QStringLiteral("[2026.12.06 12:00:01:002] %1: Größe ok (scope.cpp:42, void f())\n").arg(word));
}

void TestLogging::thresholdFilters()
{
    const QtMsgType types[] = {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg, QtFatalMsg};
    for (int threshold = -1; threshold <= 6; ++threshold) {
        for (int i = 0; i < 5; ++i) {
            const bool written = !formatLogLine(types[i], "t", "m", "f", 1, "g", threshold).isEmpty();
            QVERIFY2(written == (threshold <= i),
                     qPrintable(QStringLiteral("threshold %1 type %2").arg(threshold).arg(i)));
        }
    }
}

void TestLogging::missingContextStillReadable()
{
    const QByteArray line = formatLogLine(QtWarningMsg, "t", "no context", nullptr, 0, nullptr, 0);
    QCOMPARE(line, QByteArray("[t] Warning: no context (unknown:0, unknown)\n"));
}

void TestLogging::programLevelsMapToChannels()
{
    MessageCapture log;
    for (int level = -1; level <= 5; ++level)
        veltoLog(QStringLiteral("level %1").arg(level), level);
    QCOMPARE(log.typesOf(QStringLiteral("level 0")), QList<QtMsgType>{QtDebugMsg});
    QCOMPARE(log.typesOf(QStringLiteral("level 1")), QList<QtMsgType>{QtInfoMsg});
    QCOMPARE(log.typesOf(QStringLiteral("level 2")), QList<QtMsgType>{QtWarningMsg});
    QCOMPARE(log.typesOf(QStringLiteral("level 3")), QList<QtMsgType>{QtCriticalMsg});
    QCOMPARE(log.typesOf(QStringLiteral("level 4")), QList<QtMsgType>{QtCriticalMsg});
    QVERIFY(!log.contains(QStringLiteral("level -1")));
    QVERIFY(!log.contains(QStringLiteral("level 5")));
    // One line per message: the text is not followed by a line break of its own.
    QCOMPARE(log.messages().first(), QStringLiteral("level 0"));
}

void TestLogging::fatalAbortsEvenWhenFiltered()
{
    QTemporaryDir dir;
    for (int threshold : {4, 5}) {
        const QString path = dir.filePath(QStringLiteral("fatal%1.log").arg(threshold));
        const int status = inChild(path, [threshold] {
            loggingLevel = threshold;
            qCritical("filtered critical");
            qFatal("the end");
        });
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGABRT);
        const QString text = readAll(path);
        QVERIFY(!text.contains(QStringLiteral("filtered critical")));
        QCOMPARE(text.contains(QStringLiteral("] Fatal: the end (")), threshold == 4);
    }
}

void TestLogging::levelFourOfTheProgramDoesNotAbort()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("four.log"));
    const int status = inChild(path, [] {
        loggingLevel = 4;
        veltoLog(QStringLiteral("serious"), 4);
        loggingLevel = 3;
        veltoLog(QStringLiteral("written"), 4);
        veltoLog(QStringLiteral("not written"), 2);
    });
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    const QString text = readAll(path);
    QVERIFY(!text.contains(QStringLiteral("serious")));
    QVERIFY(text.contains(QStringLiteral("] Critical: written (")));
    QVERIFY(!text.contains(QStringLiteral("not written")));
}

void TestLogging::logFileIsRecreatedAndUnwritablePathKeepsStderr()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("velto.log"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("left over from the last run\n");
    old.close();
    int status = inChild(path, [] {
        loggingLevel = 0;
        qDebug("fresh");
    });
    QVERIFY(WIFEXITED(status));
    const QString text = readAll(path);
    QVERIFY(!text.contains(QStringLiteral("left over")));
    QVERIFY(text.startsWith(QLatin1Char('[')));

    // A log file that cannot be created leaves standard error where it was.
    const QString second = dir.filePath(QStringLiteral("second.log"));
    status = inChild(second, [] {
        loggingLevel = 0;
        const bool redirected = redirectStandardErrorTo(QStringLiteral("/nonexistent-dir/velto.log"));
        qDebug("still here %d", int(redirected));
    });
    QVERIFY(WIFEXITED(status));
    QVERIFY(readAll(second).contains(QStringLiteral("still here 0")));
}

void TestLogging::threadsNeverInterleave()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("threads.log"));
    const int status = inChild(path, [] {
        loggingLevel = 0;
        auto writer = [](char tag) {
            const QString text = QString(200, QLatin1Char(tag));
            for (int i = 0; i < 2000; ++i)
                qDebug().noquote() << text;
        };
        std::thread a(writer, 'a');
        std::thread b(writer, 'b');
        a.join();
        b.join();
    });
    QVERIFY(WIFEXITED(status));
    const QStringList lines = readAll(path).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4000);
    const QRegularExpression shape(QStringLiteral("^\\[[^\\]]+\\] Debug: (a{200}|b{200}) \\(.+:\\d+, .+\\)$"));
    for (const QString &line : lines)
        QVERIFY2(shape.match(line).hasMatch(), qPrintable(line.left(80)));
}

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
