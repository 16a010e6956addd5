// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/instruments/sniffdecoders.h"

#include <QByteArray>
#include <QObject>

class DeviceSession;
class QPlainTextEdit;
class ScopeChannels;
namespace Ui
{
class VeltoInterface;
}

// The "Protocol Sniffer" tab: the four protocol pages and their options, the
// start, pause and clear buttons with their state machine, the acceptance of
// sniffer frames on the display tick, the fill bar and the six text views
// the decoders write. The window runs sniffDataShow on its tick while the
// operating mode is 1 and hears the mode through mainModeChanged.
class SnifferControls : public QObject
{
    Q_OBJECT
public:
    SnifferControls(Ui::VeltoInterface *ui, DeviceSession *session, ScopeChannels *channels,
                    QObject *parent = nullptr);

    // Entries 12, 22, 23 and 21, and Single's bit of entry 10.
    void sendSnifferOptionControl();
    void sendSnifferMode();
    void sendSnifferUSARTControl();
    void sendSnifferStrobeEdge(int index);
    void sendDecodeProtocol(int index);

    void sniffProtocolTabChanged(int index);
    void startSnifferClicked();
    void sniffPauseButtonChanged();
    // Clear: the instrument's buffer, the views and the fill bar emptied.
    void clearClicked();
    // Back to the stopped state, the stop request sent; the views keep their text.
    void sniffStop();
    void sniffControlsEnable(bool on);
    void sniffProtocolWidgetClear();
    // The display tick in mode 1: takes a new read, if any, and shows it.
    void sniffDataShow();
    // The sniffer's part of the whole-configuration pass.
    void replaySettings();

    // The decoded text of the protocol page shown: its one view, or both
    // views (MOSI and MISO, RX and TX) each under its name.
    QString pageText() const;
    // Saves pageText() as `path`; false when nothing was written.
    bool saveTextTo(const QString &path);
    void saveTextClicked();
    // The folder the save dialog opens in; it remembers the last one used.
    void setDefaultDir(QString *folder) { defaultDir = folder; }

    bool isRunning() const { return running; }
    const SniffDecoders::Fill &fill() const { return bookkeeping; }

signals:
    void mainModeChanged(int mode);
    void statusText(const QString &text, bool busy);

private:
    void setRunning(bool on);
    void setMode(int mode);
    void runControl(void (DeviceSession::*request)());
    SniffDecoders::Options options() const;
    QPlainTextEdit *view(SniffDecoders::View which) const;
    // Decodes the last shown frame again into its views.
    void render();

    Ui::VeltoInterface *ui;
    DeviceSession *session;
    ScopeChannels *channels;
    bool running = false;
    int lastFrameNumber = -1;
    SniffDecoders::Fill bookkeeping;
    // Reads are copied here out of the transport's buffer and decoded from
    // here, so the next read can land meanwhile; `shown` is the last frame the
    // views show, kept for a change of ASCII, Circular or Synchronization.
    QByteArray incoming;
    QByteArray shown;
    QString *defaultDir = nullptr;
};
