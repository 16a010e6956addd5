#pragma once

#include "device/libusbdevice.h"
#include "ui/options.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>

class QCloseEvent;

// The one window of Velto and the owner of the instrument: the transport, the
// two timers, the settings and, as later parts arrive, every control.
class VeltoInterface : public QMainWindow
{
    Q_OBJECT
public:
    explicit VeltoInterface(QWidget *parent = nullptr);
    ~VeltoInterface() override;

    void logToFile(QString message, int level);
    void setupAppSetting();
    void saveAppSettings();
    void closeApplication();
    void changeWindowTitle(QString text);
    void disconnectDevice(bool close);

    LibUsbDevice usbDevice;
    QTimer displayTimer;
    QTimer meterTimer;
    int displayInterval = 4;
    int mainMode = 0;
    bool startingUp = false;
    bool redrawRequested = false;
    QString defaultDir;
    ScopeOptions scopeOptions;
    // How the Exit action ends the process; tests replace it.
    std::function<void(int)> terminateProcess;

public slots:
    void on_actionExit_triggered();
    void dataShow();
    void meterRequestData();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool applicationClosed = false;
};
