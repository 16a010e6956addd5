// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QTextCursor>
#include <QTimer>

// The interactive prompt: output and errors above, the line being typed after
// ">>> " (or "... " while a statement goes on), a history on the arrow keys.
// Ctrl+C interrupts a running statement or drops the line being typed; while
// a statement runs, typing is refused.
class ConsoleWidget : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit ConsoleWidget(QWidget *parent = nullptr);

    // Queues output; it is shown within 50 ms, or at once by flush().
    void write(const QString &text, bool error);
    void flush();
    // Shows ">>> " (or "... " when `continuation`) on a line of its own.
    void appendPrompt(bool continuation = false);
    void setRunning(bool running);
    bool isRunning() const { return running; }
    QString currentInput() const;
    // Leaves the line being typed as it is shown, unrun; output goes below it.
    void abandonInput();
    QStringList history() const { return commands; }
    void clearConsole();

    // Longest line shown; the rest of a longer one is counted, not shown.
    static constexpr int maximumLineLength = 4000;
    static constexpr int maximumLines = 20000;

signals:
    // A line typed at the prompt, without its end.
    void lineEntered(const QString &line);
    void interruptRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;

private:
    struct Pending {
        QString text;
        bool error;
    };
    void submit();
    void showHistory(int step);
    void replaceInput(const QString &text);
    bool cursorInInput() const;
    void insertOutput(const QString &text, bool error);

    QTextCursor promptStart; // where the prompt line begins
    int promptLength = 0;
    bool promptShown = false;
    bool continuationShown = false;
    bool running = false;
    QStringList commands;
    int historyIndex = 0;
    QString draft; // what was typed before walking the history
    QString heldInput; // what was typed when a script started from the menu
    QList<Pending> pending;
    int pendingSize = 0;
    long long dropped = 0; // characters left out of an overlong line
    QTimer flushTimer;
};
