// SPDX-License-Identifier: GPL-3.0-only
#include "console/consolewidget.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>

namespace {
// Output queued beyond this is cut to its end: the console keeps only its
// last lines anyway.
constexpr int maximumPending = 1 << 20;
const QString primaryPrompt = QStringLiteral(">>> ");
const QString continuationPrompt = QStringLiteral("... ");
} // namespace

ConsoleWidget::ConsoleWidget(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("consoleWidget"));
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setMaximumBlockCount(maximumLines);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setToolTip(tr("Python console: type a statement and press Enter; Up and Down walk the history, "
                  "Ctrl+C interrupts a running statement"));
    promptStart = QTextCursor(document());
    flushTimer.setInterval(50);
    flushTimer.setSingleShot(true);
    connect(&flushTimer, &QTimer::timeout, this, &ConsoleWidget::flush);
}

// A line longer than the console shows is cut here already, so that one
// huge write costs no more than its first part.
static QString cutLongLines(const QString &text)
{
    if (text.size() <= ConsoleWidget::maximumLineLength)
        return text;
    QString cut;
    int start = 0;
    while (start <= text.size()) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        const bool last = end < 0;
        if (last)
            end = text.size();
        const int length = end - start;
        if (length > ConsoleWidget::maximumLineLength) {
            cut += text.midRef(start, ConsoleWidget::maximumLineLength);
            cut += ConsoleWidget::tr(" [%1 more characters]").arg(length - ConsoleWidget::maximumLineLength);
        } else {
            cut += text.midRef(start, length);
        }
        if (last)
            break;
        cut += QLatin1Char('\n');
        start = end + 1;
    }
    return cut;
}

void ConsoleWidget::write(const QString &rawText, bool error)
{
    if (rawText.isEmpty())
        return;
    const QString text = cutLongLines(rawText);
    // Runs of the same stream are one piece: printing many short lines costs
    // one insertion per flush, not one per line.
    if (!pending.isEmpty() && pending.last().error == error)
        pending.last().text += text;
    else
        pending.append({text, error});
    pendingSize += text.size();
    while (pendingSize > maximumPending) {
        Pending &first = pending.first();
        const int excess = pendingSize - maximumPending / 2;
        if (pending.size() > 1 && first.text.size() <= excess) {
            dropped += first.text.size();
            pendingSize -= first.text.size();
            pending.removeFirst();
            continue;
        }
        const int cut = qMin(first.text.size(), excess);
        first.text.remove(0, cut);
        dropped += cut;
        pendingSize -= cut;
    }
    if (!flushTimer.isActive())
        flushTimer.start();
}

void ConsoleWidget::flush()
{
    flushTimer.stop();
    if (pending.isEmpty())
        return;
    const QList<Pending> items = pending;
    pending.clear();
    pendingSize = 0;
    if (dropped > 0) {
        insertOutput(tr("[%1 characters of output not shown]\n").arg(dropped), true);
        dropped = 0;
    }
    for (const Pending &item : items)
        insertOutput(item.text, item.error);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

// Output goes above the prompt line when one is shown, so the line being
// typed stays the last one.
void ConsoleWidget::insertOutput(const QString &output, bool error)
{
    QTextCursor cursor(document());
    if (promptShown) {
        cursor.setPosition(promptStart.position());
    } else {
        cursor.movePosition(QTextCursor::End);
    }
    QTextCharFormat format;
    if (error)
        format.setForeground(QColor(0xff, 0x70, 0x60));
    // Only the last lines stay in the console: the others are not inserted at all.
    QString text = output;
    int lineEnds = text.count(QLatin1Char('\n'));
    if (lineEnds > maximumLines) {
        int position = -1;
        for (int i = lineEnds - maximumLines; i > 0; --i)
            position = text.indexOf(QLatin1Char('\n'), position + 1);
        text = tr("[%1 lines of output not shown]").arg(lineEnds - maximumLines) + text.mid(position);
    }
    // The first line continues the line already shown, which may be long.
    const int firstEnd = text.indexOf(QLatin1Char('\n'));
    const int firstLength = firstEnd < 0 ? text.size() : firstEnd;
    const int room = qMax(0, maximumLineLength - cursor.positionInBlock());
    if (firstLength > room)
        text.replace(room, firstLength - room, tr(" [%1 more characters]").arg(firstLength - room));
    cursor.insertText(text, format);
    if (promptShown)
        promptStart.setPosition(cursor.position());
}

void ConsoleWidget::appendPrompt(bool continuation)
{
    flush();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!cursor.block().text().isEmpty())
        cursor.insertText(QStringLiteral("\n"));
    // It stays where the prompt begins while the prompt is written after it.
    promptStart = QTextCursor(document());
    promptStart.setKeepPositionOnInsert(true);
    promptStart.setPosition(cursor.position());
    const QString prompt = continuation ? continuationPrompt : primaryPrompt;
    cursor.insertText(prompt, QTextCharFormat());
    promptLength = prompt.size();
    continuationShown = continuation;
    promptShown = true;
    if (!heldInput.isEmpty()) {
        cursor.insertText(heldInput, QTextCharFormat());
        heldInput.clear();
    }
    setTextCursor(cursor);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void ConsoleWidget::setRunning(bool on)
{
    // A prompt shown when a script starts from the menu makes way for its
    // output; what was typed after it comes back with the next prompt.
    if (on && promptShown) {
        heldInput = currentInput();
        QTextCursor cursor(document());
        cursor.setPosition(promptStart.position());
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        promptShown = false;
    }
    running = on;
    setReadOnly(on);
    if (!on)
        flush();
}

QString ConsoleWidget::currentInput() const
{
    if (!promptShown)
        return QString();
    QTextCursor cursor(document());
    cursor.setPosition(promptStart.position() + promptLength);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

void ConsoleWidget::clearConsole()
{
    pending.clear();
    pendingSize = 0;
    dropped = 0;
    const bool hadPrompt = promptShown;
    const QString input = currentInput();
    promptShown = false;
    clear();
    // Clearing leaves the old cursor on no document position.
    promptStart = QTextCursor(document());
    promptStart.setKeepPositionOnInsert(true);
    if (hadPrompt) {
        appendPrompt(continuationShown);
        insertPlainText(input);
    }
}

bool ConsoleWidget::cursorInInput() const
{
    return promptShown && textCursor().selectionStart() >= promptStart.position() + promptLength;
}

void ConsoleWidget::replaceInput(const QString &text)
{
    QTextCursor cursor(document());
    cursor.setPosition(promptStart.position() + promptLength);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.insertText(text, QTextCharFormat());
    setTextCursor(cursor);
}

void ConsoleWidget::showHistory(int step)
{
    if (commands.isEmpty())
        return;
    if (historyIndex == commands.size())
        draft = currentInput();
    historyIndex = qBound(0, historyIndex + step, commands.size());
    replaceInput(historyIndex == commands.size() ? draft : commands.at(historyIndex));
}

void ConsoleWidget::abandonInput()
{
    if (!promptShown)
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n"));
    promptShown = false;
}

void ConsoleWidget::submit()
{
    const QString line = currentInput();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n"));
    promptShown = false;
    if (!line.trimmed().isEmpty() && (commands.isEmpty() || commands.last() != line))
        commands.append(line);
    historyIndex = commands.size();
    draft.clear();
    emit lineEntered(line);
}

void ConsoleWidget::keyPressEvent(QKeyEvent *event)
{
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (control && event->key() == Qt::Key_C && !textCursor().hasSelection()) {
        emit interruptRequested();
        return;
    }
    if (running || !promptShown) {
        // Reading and copying stay possible while a statement runs.
        if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll))
            QPlainTextEdit::keyPressEvent(event);
        return;
    }
    const int inputStart = promptStart.position() + promptLength;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        submit();
        return;
    case Qt::Key_Up:
        showHistory(-1);
        return;
    case Qt::Key_Down:
        showHistory(1);
        return;
    case Qt::Key_Home: {
        QTextCursor cursor = textCursor();
        cursor.setPosition(inputStart, event->modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor
                                                                                : QTextCursor::MoveAnchor);
        setTextCursor(cursor);
        return;
    }
    case Qt::Key_Backspace:
    case Qt::Key_Left:
        if (textCursor().position() <= inputStart && !textCursor().hasSelection())
            return;
        break;
    default:
        break;
    }
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    // Typing anywhere edits the line after the prompt.
    if (!cursorInInput()) {
        QTextCursor cursor = textCursor();
        cursor.movePosition(QTextCursor::End);
        setTextCursor(cursor);
    }
    QPlainTextEdit::keyPressEvent(event);
}

bool ConsoleWidget::canInsertFromMimeData(const QMimeData *source) const
{
    return !running && promptShown && source->hasText();
}

// Pasted lines are entered one by one, as if typed; the last one stays at the prompt.
void ConsoleWidget::insertFromMimeData(const QMimeData *source)
{
    if (running || !promptShown || !source->hasText())
        return;
    if (!cursorInInput())
        moveCursor(QTextCursor::End);
    const QStringList lines = source->text().split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        line.remove(QLatin1Char('\r'));
        insertPlainText(line);
        if (i + 1 < lines.size()) {
            if (!promptShown)
                return;
            submit();
        }
    }
}
