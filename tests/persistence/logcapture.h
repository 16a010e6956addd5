#pragma once

#include <QMessageLogContext>
#include <QStringList>
#include <QtGlobal>

// Collects every message logged while it lives (the reader and writer log at
// debug level), then puts the previous message handler back.
class LogCapture
{
public:
    LogCapture() : previous(qInstallMessageHandler(&LogCapture::handler)) { clear(); }
    ~LogCapture() { qInstallMessageHandler(previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const { return store(); }
    QStringList debugLines() const { return debugStore(); }
    void clear()
    {
        store().clear();
        debugStore().clear();
    }
    bool contains(const QString &line) const { return store().contains(line); }
    int count() const { return store().size(); }

private:
    static QStringList &store()
    {
        static QStringList lines;
        return lines;
    }
    static QStringList &debugStore()
    {
        static QStringList lines;
        return lines;
    }
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        store() << message;
        if (type == QtDebugMsg)
            debugStore() << message;
    }
    QtMessageHandler previous;
};
