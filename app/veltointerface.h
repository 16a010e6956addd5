// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "ui/options.h"
#include "widgets/multimeterdisplayoptions.h"

#include <QMainWindow>
#include <QPointer>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>

class About;
class CounterControls;
class CursorControls;
class DeviceSession;
class AutosetControls;
class AnnotationRows;
class AnnotationTable;
class DecoderPanel;
class ExportControls;
class GeneratorControls;
class MeterControls;
class PlotInteraction;
class RecordControls;
class RemoteControl;
class MeasurementPanel;
class PythonConsole;
class QScrollArea;
class ScopeChannels;
class ScopeDisplay;
class ScopePlot;
class Settings;
class SnifferControls;
class SpectrumControls;
class TriggerControls;
struct CriticalMessage;
struct ScopeState;
namespace Ui {
class VeltoInterface;
}

// The one window of Velto. It builds the form, creates the controllers of
// the subsystems in their construction order and wires them, owns the two
// timers and the menus, dispatches the display tick and runs the close path.
// The instrument logic lives in the controllers.
class VeltoInterface : public QMainWindow
{
    Q_OBJECT
public:
    explicit VeltoInterface(QWidget *parent = nullptr);
    ~VeltoInterface() override;

    void setupAppSetting();
    void saveAppSettings();
    void closeApplication();
    void changeWindowTitle(QString text);
    void setInfoText(QString text, bool busy = false);
    // A lasting note at the status line's end of where velto.log is written.
    void showLogLocation(const QString &path);
    void mainTabChanged(int index);
    // Every control's handler in a fixed order, so that the instrument (or,
    // during a session start, the configuration block) receives the whole
    // state the window shows.
    void deviceSettingsExec();
    void deviceSettingsSendInteractive();
    void applyScopeConfiguration();
    void dataShow();
    // Every keyboard shortcut and plot gesture, as the Help menu lists them.
    QString shortcutsText() const;
    // How the Exit action ends the process (leaving the event loop with the
    // status); tests replace it.
    void setTerminateProcess(std::function<void(int)> terminate) { terminateProcess = std::move(terminate); }

    // The parts, for the benchmarks and the end-to-end tests.
    Ui::VeltoInterface *form() const { return ui; }
    DeviceSession *session() const { return deviceSession; }
    ScopeState *scopeState() const { return state.get(); }
    ScopePlot *scopePlot() const { return plot; }
    ScopeChannels *channels() const { return scopeChannels; }
    TriggerControls *trigger() const { return triggerControls; }
    CursorControls *cursors() const { return cursorControls; }
    SpectrumControls *spectrum() const { return spectrumControls; }
    ScopeDisplay *display() const { return scopeDisplay; }
    RecordControls *record() const { return recordControls; }
    PlotInteraction *interaction() const { return plotInteraction; }
    GeneratorControls *generator() const { return generatorControls; }
    MeterControls *meter() const { return meterControls; }
    MeasurementPanel *measurements() const { return measurementPanel; }
    CounterControls *counter() const { return counterControls; }
    SnifferControls *sniffer() const { return snifferControls; }
    ExportControls *exporter() const { return exportControls; }
    DecoderPanel *decoders() const { return decoderPanel; }
    AnnotationRows *annotationRows() const { return annotations; }
    AnnotationTable *annotationTable() const { return annotationList; }
    AutosetControls *autosetter() const { return autosetControls; }
    RemoteControl *remote() const { return remoteControl; }
    QTimer &displayTimer() { return displayTick; }
    QTimer &meterTimer() { return meterTick; }
    int mainMode() const { return mode; }
    ScopeOptions &scopeOptions() { return scopeOptionSet; }
    PythonConsoleOptions &consoleOptions() { return pythonConsoleOptions; }
    // The open (possibly hidden) Python console, or null.
    PythonConsole *pythonConsole() const;
    // The Console action: shows the console, creating it when there is none.
    void on_actionConsole_triggered();

public slots:
    // The settings dialog, opened on `component`'s page; the read-outs ask for it by name.
    void callSettings(QString component);
    // Every control and option set into the settings store, and back: each
    // control set from the store tells its handlers, as a user's change does.
    void deviceSettingsSave();
    void deviceSettingsLoad();

signals:
    void applyConfigurationRequest();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Hears the user's keys, clicks, wheel and mouse: the plot paints at its full rate while they come.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void loadFonts();
    void registerOptions();
    void applyStyleSheet();
    void createControllers();
    void wireSession();
    void wireMenus();
    void addKeyboardActions();
    void arrangeDocks();
    int fitSideBar(QScrollArea *bar);
    void exitTriggered();
    // The Exit path with a status: the close path, then out of the event loop.
    void exitWith(int status);
    void showAbout();
    void showProfileMessages(const QVector<CriticalMessage> &messages);
    // A lasting note in the status line of the folder the data files came from.
    void showDataFiles(const QStringList &paths);
    void connectionChanged(bool connected);
    void meterPollIntervalChanged(int milliseconds);
    void runStartupScript();
    void createDecoders();
    void createRemoteControl();

    Ui::VeltoInterface *ui = nullptr;
    DeviceSession *deviceSession = nullptr;
    std::unique_ptr<ScopeState> state;
    ScopePlot *plot = nullptr;
    ScopeChannels *scopeChannels = nullptr;
    TriggerControls *triggerControls = nullptr;
    CursorControls *cursorControls = nullptr;
    SpectrumControls *spectrumControls = nullptr;
    ScopeDisplay *scopeDisplay = nullptr;
    MeasurementPanel *measurementPanel = nullptr;
    RecordControls *recordControls = nullptr;
    PlotInteraction *plotInteraction = nullptr;
    GeneratorControls *generatorControls = nullptr;
    CounterControls *counterControls = nullptr;
    MeterControls *meterControls = nullptr;
    SnifferControls *snifferControls = nullptr;
    ExportControls *exportControls = nullptr;
    DecoderPanel *decoderPanel = nullptr;
    AnnotationRows *annotations = nullptr;
    AnnotationTable *annotationList = nullptr;
    AutosetControls *autosetControls = nullptr;
    RemoteControl *remoteControl = nullptr;
    QTimer displayTick;
    QTimer meterTick;
    // Every 10 ms while the user works at the window: the queue holds what
    // comes between (at the fastest time base some four frames), the tick
    // takes up to sixteen, and the plot paints at most every 33 ms anyway.
    // A remote client waiting for a frame has it as it is read, not at the
    // tick.
    int displayInterval = 10;
    // At rest (the plot painting 15 times a second), or with no frame and
    // no redraw for a quarter of a second, every 20 ms: some nine frames at
    // the fastest time base. A key, a click or the mouse, or the first
    // frame, brings the 10 ms tick back.
    static constexpr int idleDisplayInterval = 20;
    static constexpr int idleAfterMs = 250;
    QElapsedTimer sinceDisplayWork;
    // The plot width below which the side bars share one dock area, and
    // what the docks add around a side bar.
    static constexpr int sideBarMargins = 40;
    static constexpr int minimumSideBarWidth = 200;
    int mode = 0;
    GlobalOptions globalOptions;
    PythonConsoleOptions pythonConsoleOptions;
    ScopeOptions scopeOptionSet;
    MultimeterDisplayOptions multimeterDisplayOptions;
    // The option sets by class name, for the settings dialog.
    OptionsMap optionsMap;
    QPointer<Settings> settingsDialog;
    QPointer<About> aboutDialog;
    QPointer<PythonConsole> console;
    bool consoleExists = false;
    bool consoleCreated = false;
    // The script VELTO_SCRIPT names, run once the instrument is first connected.
    QString startupScript;
    std::function<void(int)> terminateProcess;
    // The folder remembered from the last run, until the record controls take it.
    QString storedDefaultDir;
    bool storedRemoteControl = false;
    bool applicationClosed = false;
};
