// SPDX-License-Identifier: GPL-3.0-only
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
// Runs `body` in a child process whose standard error goes to `logPath`;
// returns the child's wait status and what it wrote.
QPair<int, QString> inChild(const QString &logPath, const std::function<void()> &body)
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
    QFile file(logPath);
    return {status, file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString()};
}
} // namespace

class TestLogging : public QObject
{
    Q_OBJECT
private slots:
    void lineFormatAndThreshold()
    {
        const QtMsgType types[] = {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg, QtFatalMsg};
        const char *words[] = {"Debug", "Info", "Warning", "Critical", "Fatal"};
        for (int i = 0; i < 5; ++i) {
            const QByteArray line = formatLogLine(types[i], QStringLiteral("2026.12.06 12:00:01:002"),
                                                  QStringLiteral("Größe ok"), "scope.cpp", 42, "void f()", 0);
            QCOMPARE(QString::fromLocal8Bit(line),
                     QStringLiteral("[2026.12.06 12:00:01:002] %1: Größe ok (scope.cpp:42, void f())\n")
                         .arg(QLatin1String(words[i])));
            for (int threshold = -1; threshold <= 6; ++threshold)
                QVERIFY2(formatLogLine(types[i], "t", "m", "f", 1, "g", threshold).isEmpty() == (threshold > i),
                         qPrintable(QStringLiteral("threshold %1 type %2").arg(threshold).arg(i)));
        }
        QCOMPARE(formatLogLine(QtWarningMsg, "t", "no context", nullptr, 0, nullptr, 0),
                 QByteArray("[t] Warning: no context (unknown:0, unknown)\n"));
    }
    void programLevelsMapToChannels()
    {
        MessageCapture log;
        for (int level = -1; level <= 5; ++level)
            veltoLog(QStringLiteral("level %1").arg(level), level);
        QCOMPARE(log.messages(), QStringList({"level 0", "level 1", "level 2", "level 3", "level 4"}));
        QCOMPARE(log.typesOf(QStringLiteral("level ")),
                 QList<QtMsgType>({QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg, QtCriticalMsg}));
    }
    void fatalAbortsEvenWhenFilteredButLevelFourDoesNot()
    {
        QTemporaryDir dir;
        for (int threshold : {4, 5}) {
            const auto [status, text] = inChild(dir.filePath(QStringLiteral("fatal%1.log").arg(threshold)), [=] {
                loggingLevel = threshold;
                qCritical("filtered critical");
                qFatal("the end");
            });
            QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT && !text.contains("filtered critical"));
            QCOMPARE(text.contains(QStringLiteral("] Fatal: the end (")), threshold == 4);
        }
        const auto [status, text] = inChild(dir.filePath(QStringLiteral("four.log")), [] {
            loggingLevel = 4;
            veltoLog(QStringLiteral("serious"), 4);
            loggingLevel = 3;
            veltoLog(QStringLiteral("written"), 4);
            veltoLog(QStringLiteral("not written"), 2);
        });
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0 && text.contains("] Critical: written ("));
        QVERIFY(!text.contains(QStringLiteral("serious")) && !text.contains(QStringLiteral("not written")));
    }
    void logFileIsRecreatedKeepingThePreviousAndUnwritablePathKeepsStderr()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("velto.log"));
        QVERIFY(writeFile(path, "left over from the last run\n"));
        const QString fresh = inChild(path, [] {
            loggingLevel = 0;
            qDebug("fresh");
        }).second;
        QVERIFY(fresh.startsWith("[") && fresh.contains("fresh") && !fresh.contains("left over"));
        QFile previous(path + QStringLiteral(".1")); // the crashed session's log survives the restart
        QVERIFY(previous.open(QIODevice::ReadOnly) && previous.readAll() == "left over from the last run\n");
        const QString kept = inChild(dir.filePath(QStringLiteral("second.log")), [] {
            loggingLevel = 0;
            qDebug("still here %d", int(redirectStandardErrorTo(QStringLiteral("/nonexistent-dir/velto.log"))));
        }).second;
        QVERIFY(kept.contains(QStringLiteral("still here 0")));
    }
    void logGoesToTheStateFolderWhenTheWorkingFolderRefusesIt()
    {
        QTemporaryDir work;
        QTemporaryDir state;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        QCOMPARE(logFilePath(QStringLiteral("velto.log")), QStringLiteral("velto.log"));
        // A folder in the way of the file: not even root writes there.
        QVERIFY(QFile::remove(QStringLiteral("velto.log")) && QDir().mkdir(QStringLiteral("velto.log")));
        const QString moved = logFilePath(QStringLiteral("velto.log"));
        QCOMPARE(moved, state.path() + QStringLiteral("/velto/velto.log"));
        QVERIFY(QFileInfo(moved).isFile());
        // Neither place can take it (the state folder's parent is a file): no path.
        QVERIFY(writeFile(QStringLiteral("blocker"), QByteArray()));
        qputenv("XDG_STATE_HOME", (work.path() + QStringLiteral("/blocker")).toLocal8Bit());
        QVERIFY(logFilePath(QStringLiteral("velto.log")).isEmpty());
        qunsetenv("XDG_STATE_HOME");
        QVERIFY(QDir::setCurrent(before));
    }
    void threadsNeverInterleave()
    {
        QTemporaryDir dir;
        const auto [status, text] = inChild(dir.filePath(QStringLiteral("threads.log")), [] {
            loggingLevel = 0;
            auto writer = [](char tag) {
                const QString line = QString(200, QLatin1Char(tag));
                for (int i = 0; i < 2000; ++i)
                    qDebug().noquote() << line;
            };
            std::thread a(writer, 'a');
            std::thread b(writer, 'b');
            a.join();
            b.join();
        });
        QVERIFY(WIFEXITED(status));
        const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4000);
        const QRegularExpression shape(QStringLiteral("^\\[[^\\]]+\\] Debug: (a{200}|b{200}) \\(.+:\\d+, .+\\)$"));
        for (const QString &line : lines)
            QVERIFY2(shape.match(line).hasMatch(), qPrintable(line.left(80)));
    }
};

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
