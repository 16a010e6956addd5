// SPDX-License-Identifier: GPL-3.0-only
#include "app/veltointerface.h"

#include "app/appsettings.h"
#include "app/commandline.h"
#include "base/logging.h"
#include "console/pythonbridge.h"
#include "console/pythonconsole.h"
#include "device/devicesession.h"
#include "instruments/countercontrols.h"
#include "instruments/generatorcontrols.h"
#include "instruments/metercontrols.h"
#include "instruments/sniffercontrols.h"
#include "core/persistence/devicesettings.h"
#include "core/persistence/devicesettingskeys.h"
#include "core/persistence/hardwareprofile.h"
#include "remote/remotecontrol.h"
#include "remote/scpiserver.h"
#include "scope/autosetcontrols.h"
#include "scope/channelcontrols.h"
#include "scope/cursorcontrols.h"
#include "scope/annotationrows.h"
#include "scope/annotationtable.h"
#include "scope/decoderpanel.h"
#include "scope/exportcontrols.h"
#include "scope/measurementpanel.h"
#include "scope/plotinteraction.h"
#include "scope/recordcontrols.h"
#include "scope/scopedisplay.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "scope/settingsbinding.h"
#include "scope/fftcontrols.h"
#include "scope/triggercontrols.h"
#include "ui/about.h"
#include "ui/messagepresenter.h"
#include "ui/settings.h"
#include "ui/wheelguard.h"
#include "ui_veltointerface.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>

#include <cstdlib>

void veltoInitResources();

VeltoInterface::VeltoInterface(QWidget *parent) : QMainWindow(parent), state(std::make_unique<ScopeState>())
{
    veltoInitResources();
    // Through the event loop: main ends the interpreter once it returns.
    terminateProcess = [](int code) { QCoreApplication::exit(code); };
    loadFonts();
    registerOptions();

    ui = new Ui::VeltoInterface;
    ui->setupUi(this);
    ui->mainTabWidget->setCurrentIndex(0);
    applyStyleSheet();
    changeWindowTitle(QStringLiteral("Interface - Not Connected"));
    // Nothing stored yet: the first start of all, which autosets on the first frames.
    const bool firstStart = QSettings().allKeys().isEmpty();
    setupAppSetting();

    // The settings record follows the controls before any handler runs.
    bindScopeSettings(ui, &state->settings, this);
    createControllers();
    if (firstStart)
        autosetControls->autosetOnFirstFrames();
    wireSession();
    wireMenus();

    // Connect as soon as the event loop runs; the display ticks from now on.
    QTimer::singleShot(0, deviceSession, &DeviceSession::toggleConnection);
    connect(&displayTick, &QTimer::timeout, this, &VeltoInterface::dataShow);
    // A remote client waiting for a frame has it as soon as it is read, not
    // at the next tick; the frames go through the same intake.
    connect(&deviceSession->usb(), &LibUsbDevice::readArrived, this, &VeltoInterface::dataShow,
            Qt::QueuedConnection);
    connect(&meterTick, &QTimer::timeout, meterControls, &MeterControls::meterRequestData);
    displayTick.start(displayInterval);
    qApp->installEventFilter(this);

    startupScript = QString::fromLocal8Bit(qgetenv("VELTO_SCRIPT"));
    if (!startupScript.isEmpty())
        VELTO_LOG(QStringLiteral("VELTO_SCRIPT: %1 runs once the instrument is connected").arg(startupScript), 1);

    triggerControls->model().triggerSetEnable(true);
    deviceSettingsLoad();
    // Apply every setting; without a device nothing is sent.
    deviceSettingsExec();
    arrangeDocks();
    // The options applied now must not open the custom theme dialog, whose
    // colours the plot already shows.
    emit applyConfigurationRequest();
    plot->setStartingUp(false);
}

VeltoInterface::~VeltoInterface()
{
    displayTick.stop();
    meterTick.stop();
    delete console.data();
    delete ui;
}

void VeltoInterface::loadFonts()
{
    for (const char *font : {":/fonts/cour.ttf", ":/fonts/SourceCodeVariable-Italic.ttf",
                             ":/fonts/SourceCodeVariable-Roman.ttf"}) {
        if (QFontDatabase::addApplicationFont(QString::fromLatin1(font)) < 0)
            VELTO_LOG(QStringLiteral("Font not available: ") + QString::fromLatin1(font), 2);
    }
    QGuiApplication::setFont(QFont(QStringLiteral("Cantarell"), 10, QFont::Normal));
}

void VeltoInterface::registerOptions()
{
    // The option sets are members; the map hands them to the settings dialog by name.
    registerOptionTypes();
    optionsMap.insert(&globalOptions);
    optionsMap.insert(&pythonConsoleOptions);
    optionsMap.insert(&scopeOptionSet);
    optionsMap.insert(&multimeterDisplayOptions);
}

void VeltoInterface::applyStyleSheet()
{
    QFile sheet(QStringLiteral(":/themes/theme-linux.qss"));
    if (sheet.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromLatin1(sheet.readAll()));
    else
        VELTO_LOG(QStringLiteral("Style sheet :/themes/theme-linux.qss not available"), 2);
    ui->connectLabel->setStyleSheet(QStringLiteral("QLabel{font-size: 12px};"));
}

void VeltoInterface::createControllers()
{
    deviceSession = new DeviceSession(this);
    plot = new ScopePlot(ui, state.get(), &scopeOptionSet, this);
    cursorControls = new CursorControls(ui, state.get(), plot, this);
    triggerControls = new TriggerControls(ui, state.get(), plot, deviceSession, this);
    scopeChannels = new ScopeChannels(ui, state.get(), deviceSession, plot, triggerControls, cursorControls, this);
    spectrumControls = new SpectrumControls(ui, state.get(), plot, this);
    scopeDisplay = new ScopeDisplay(
        {ui, state.get(), deviceSession, plot, scopeChannels, cursorControls, spectrumControls}, this);
    connect(scopeDisplay, &ScopeDisplay::framesTaken, triggerControls, &TriggerControls::framesArrived);
    measurementPanel =
        new MeasurementPanel({ui, state.get(), scopeDisplay, plot, cursorControls, triggerControls}, this);
    recordControls = new RecordControls(ui, state.get(), scopeDisplay, this);
    plotInteraction = new PlotInteraction(ui, state.get(), plot, cursorControls, triggerControls, this);
    generatorControls = new GeneratorControls(ui, deviceSession, scopeChannels,
                                              [this] { return recordControls->defaultDir(); }, this);
    counterControls = new CounterControls(ui, deviceSession, triggerControls, this);
    meterControls = new MeterControls(ui, deviceSession, counterControls, &multimeterDisplayOptions, this, this);
    connect(meterControls, &MeterControls::pollIntervalChanged, this, &VeltoInterface::meterPollIntervalChanged);
    connect(meterControls, &MeterControls::mainModeChanged, this, [this](int meterMode) { mode = meterMode; });
    snifferControls = new SnifferControls(ui, deviceSession, scopeChannels, this);
    connect(snifferControls, &SnifferControls::mainModeChanged, this, [this](int snifferMode) { mode = snifferMode; });

    scopeDisplay->scopeInitDatacache();
    recordControls->setFolder(storedDefaultDir);
    exportControls = new ExportControls(ui, scopeDisplay, plot, &recordControls->defaultDir(), this);
    connect(exportControls, &ExportControls::statusText, this, &VeltoInterface::setInfoText);
    createDecoders();
    autosetControls = new AutosetControls(ui, deviceSession, scopeDisplay, plot, triggerControls, this);
    connect(autosetControls, &AutosetControls::statusText, this, [this](const QString &text) { setInfoText(text); });
    snifferControls->setDefaultDir(&recordControls->defaultDir());
    connect(snifferControls, &SnifferControls::statusText, this, &VeltoInterface::setInfoText);
    plot->displayControlsSet();
    scopeDisplay->setupScopeMeterDisplays();
    // Items placed in pixels follow the axes.
    connect(plot, &ScopePlot::axesMoved, this, [this] {
        cursorControls->followAxes();
        if (state->settings.logicTrace)
            plot->logicLabelsRefresh();
        plot->zeroHeadRefresh();
        triggerControls->triggerMarkersPlace();
    });
    connect(this, &VeltoInterface::applyConfigurationRequest, this, &VeltoInterface::applyScopeConfiguration);
    createRemoteControl();
}

// The protocol decoders on the logic bits: their dock beside the scope's,
// their rows on the plot and the table of their annotations.
void VeltoInterface::createDecoders()
{
    decoderPanel = new DecoderPanel(this, scopeDisplay, this);
    annotations = new AnnotationRows(plot, state.get());
    annotationList = new AnnotationTable(this, &recordControls->defaultDir(), this);
    auto decodersSet = [this] {
        annotations->setDecoders(decoderPanel->settings());
        annotationList->setDecoders(decoderPanel->settings());
    };
    connect(decoderPanel, &DecoderPanel::decodersChanged, this, decodersSet);
    decodersSet();
    connect(decoderPanel, &DecoderPanel::frameDecoded, this, [this](const Decode::DecodedFrame &frame) {
        annotations->setFrame(frame);
        annotationList->setRecording(scopeDisplay->recording());
        annotationList->addFrame(frame);
    });
    connect(decoderPanel, &DecoderPanel::bitRowsToggled, annotations, &AnnotationRows::setBitRows);
    connect(decoderPanel, &DecoderPanel::tableRequested, this, [this] {
        annotationList->dock()->show();
        annotationList->dock()->raise();
    });
    tabifyDockWidget(ui->dockWidget_scope, decoderPanel->dock());
    ui->dockWidget_scope->raise();
}

void VeltoInterface::createRemoteControl()
{
    RemoteParts parts;
    parts.ui = ui;
    parts.session = deviceSession;
    parts.trigger = triggerControls;
    parts.display = scopeDisplay;
    parts.record = recordControls;
    parts.autoset = autosetControls;
    parts.generator = generatorControls;
    parts.meter = meterControls;
    parts.measurements = measurementPanel;
    parts.system.identification = [this] { return deviceSession->identification(); };
    parts.system.saveSettings = [this](QSettings &store) { DeviceSettings::save(store, this, triggerControls->model()); };
    // As the settings load at start: the controls from the store, then the whole state to the instrument.
    parts.system.loadSettings = [this](const QSettings &store) {
        DeviceSettings::load(store, this, triggerControls->model());
        scopeDisplay->scopeInitDatacache();
        deviceSettingsExec();
    };
    remoteControl = new RemoteControl(parts, this);
    connect(remoteControl, &RemoteControl::statusText, this, [this](const QString &text) { setInfoText(text); });
    remoteControl->setRemembered(storedRemoteControl);
}

void VeltoInterface::wireSession()
{
    DeviceSession *s = deviceSession;
    connect(s, &DeviceSession::infoText, this, &VeltoInterface::setInfoText);
    connect(s, &DeviceSession::titleText, this, &VeltoInterface::changeWindowTitle);
    connect(s, &DeviceSession::connectionChanged, this, &VeltoInterface::connectionChanged);
    connect(s, &DeviceSession::deviceInfoLine, ui->textBrowserDeviceInfo, &QTextBrowser::append);
    connect(s, &DeviceSession::deviceInfoCleared, ui->textBrowserDeviceInfo, &QTextBrowser::clear);
    connect(s, &DeviceSession::profileMessages, this, &VeltoInterface::showProfileMessages);
    connect(s, &DeviceSession::dataFilesRead, this, &VeltoInterface::showDataFiles);
    connect(s, &DeviceSession::configurationPassRequested, this, &VeltoInterface::deviceSettingsExec);
    connect(s, &DeviceSession::interactivePassRequested, this, &VeltoInterface::deviceSettingsSendInteractive);
    connect(ui->connectButton, &QPushButton::clicked, s, &DeviceSession::toggleConnection);
}

void VeltoInterface::wireMenus()
{
    connect(ui->actionExit, &QAction::triggered, this, &VeltoInterface::exitTriggered);
    connect(ui->actionSettings, &QAction::triggered, this, [this] { callSettings(QString()); });
    connect(ui->actionAbout, &QAction::triggered, this, &VeltoInterface::showAbout);
    connect(ui->actionConsole, &QAction::triggered, this, &VeltoInterface::on_actionConsole_triggered);
    connect(ui->mainTabWidget, &QTabWidget::currentChanged, this, &VeltoInterface::mainTabChanged);
    addKeyboardActions();
}

void VeltoInterface::addKeyboardActions()
{
    // Window-wide, so they work wherever the focus is, the plot included.
    auto *startStop = new QAction(tr("Start/Stop the scope"), this);
    startStop->setObjectName(QStringLiteral("actionStartStop"));
    startStop->setShortcut(QKeySequence(Qt::Key_Space));
    startStop->setShortcutContext(Qt::WindowShortcut);
    connect(startStop, &QAction::triggered, ui->stopButton, &QPushButton::click);
    auto *fullScreen = new QAction(tr("Full screen"), this);
    fullScreen->setObjectName(QStringLiteral("actionFullScreen"));
    fullScreen->setShortcut(QKeySequence(Qt::Key_F11));
    fullScreen->setCheckable(true);
    connect(fullScreen, &QAction::toggled, this, [this](bool on) {
        setWindowState(on ? windowState() | Qt::WindowFullScreen : windowState() & ~Qt::WindowFullScreen);
    });
    auto *screenShot = new QAction(tr("Screenshot"), this);
    screenShot->setObjectName(QStringLiteral("actionScreenShot"));
    screenShot->setShortcut(QKeySequence(QStringLiteral("Alt+P")));
    screenShot->setShortcutContext(Qt::WindowShortcut);
    connect(screenShot, &QAction::triggered, recordControls, &RecordControls::screenShotClicked);
    ui->menuMain->insertActions(ui->actionSettings, {startStop, autosetControls->action(), fullScreen, screenShot});
    auto *help = new QAction(tr("Keyboard and mouse..."), this);
    help->setObjectName(QStringLiteral("actionShortcuts"));
    connect(help, &QAction::triggered, this,
            [this] { QMessageBox::information(this, tr("Keyboard and mouse"), shortcutsText()); });
    ui->menuHelp->insertAction(ui->actionAbout, help);
    // Every key the Help list names works from every window of Velto, the
    // console's included (a text field keeps the keys it types).
    for (QMenu *menu : {ui->menuMain, ui->menuHelp})
        for (QAction *action : menu->actions())
            action->setShortcutContext(Qt::ApplicationShortcut);
}

QString VeltoInterface::shortcutsText() const
{
    // A table, so that the keys and what they do stand in two straight columns.
    QList<QPair<QString, QString>> rows;
    for (const QMenu *menu : {ui->menuMain, ui->menuHelp}) {
        for (const QAction *action : menu->actions()) {
            if (!action->shortcut().isEmpty())
                rows.append({action->shortcut().toString(QKeySequence::NativeText),
                             action->text().remove(QStringLiteral("..."))});
        }
    }
    rows.append({tr("Wheel on the plot"), tr("zoom the time axis")});
    rows.append({tr("Shift + wheel"), tr("zoom the voltage axis")});
    rows.append({tr("Control + drag"), tr("pan the time axis")});
    rows.append({tr("Drag a handle or marker"), tr("move a cursor, a trace's zero level or the trigger level")});
    rows.append({tr("Double click a label"), tr("rename it")});
    QString table = QStringLiteral("<table cellspacing=\"2\">");
    for (const auto &[keys, meaning] : rows)
        table += QStringLiteral("<tr><td style=\"padding-right: 16px\"><b>%1</b></td><td>%2</td></tr>")
                     .arg(keys.toHtmlEscaped(), meaning.toHtmlEscaped());
    return table + QStringLiteral("</table>");
}

// A side bar as wide as what it shows, so that nothing is cut off at its
// right; where the screen has no room for that beside a plot of readable
// width, as wide as there is room for, scrolling sideways. Returns the width
// it needs. It is as tall as the page shown too, so that a short page (the
// sniffer's, whose text views take what height there is) fills the bar
// instead of stretching to the height of the longest.
int VeltoInterface::fitSideBar(QScrollArea *bar)
{
    if (auto *pages = qobject_cast<QTabWidget *>(bar->widget())) {
        for (int k = 0; k < pages->count(); ++k) {
            const QSizePolicy::Policy policy = k == pages->currentIndex() ? QSizePolicy::Preferred : QSizePolicy::Ignored;
            pages->widget(k)->setSizePolicy(policy, policy);
        }
    }
    // The style sheet's paddings count.
    for (QWidget *child : bar->widget()->findChildren<QWidget *>())
        child->ensurePolished();
    const int needed =
        bar->widget()->minimumSizeHint().width() + bar->verticalScrollBar()->sizeHint().width() + 2 * bar->frameWidth();
    // The window's width, not the screen's: a page wider than the room
    // there scrolls instead of widening the window.
    int room = width() - AppSettings::plotWidthAtLeast(width()) - sideBarMargins;
    if (!tabifiedDockWidgets(ui->dockWidget_scope).contains(ui->dockWidget_awg))
        room -= bar == ui->scrollArea ? 0 : ui->scrollArea->minimumWidth();
    const int width = std::max(std::min(needed, room), minimumSideBarWidth);
    bar->setMinimumWidth(width);
    bar->setHorizontalScrollBarPolicy(width < needed ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    return needed;
}

void VeltoInterface::arrangeDocks()
{
    // The tabs and the generator live in docks; the central widget holds the plot alone.
    ui->dockWidget_awgContents->layout()->addWidget(ui->scrollArea);
    // The scope side bar scrolls on screens shorter than its pages.
    auto *scopeScroll = new QScrollArea(ui->dockWidget_scopeContents);
    scopeScroll->setObjectName(QStringLiteral("scopeScrollArea"));
    scopeScroll->setWidgetResizable(true);
    scopeScroll->setFrameShape(QFrame::NoFrame);
    scopeScroll->setWidget(ui->mainTabWidget);
    ui->dockWidget_scopeContents->layout()->addWidget(scopeScroll);
    // The scope's side bar is as wide as the page shown, not as its widest
    // page (the meter's read-outs are wider than the scope's controls).
    connect(ui->mainTabWidget, &QTabWidget::currentChanged, this, [this, scopeScroll] { fitSideBar(scopeScroll); });
    // A window too narrow for both bars beside a plot of half its width gets
    // them as two tabs on the right; they can be dragged apart again.
    const int besideEachOther = fitSideBar(ui->scrollArea) + fitSideBar(scopeScroll) + 2 * sideBarMargins;
    if (besideEachOther + AppSettings::plotWidthAtLeast(width()) > width()) {
        tabifyDockWidget(ui->dockWidget_scope, ui->dockWidget_awg);
        ui->dockWidget_scope->raise();
        fitSideBar(scopeScroll);
    }
    // The bars open as narrow as their pages let them: the plot has the rest.
    for (QDockWidget *dock : {ui->dockWidget_scope, ui->dockWidget_awg})
        resizeDocks({dock}, {dock->minimumSizeHint().width()}, Qt::Horizontal);
    ui->statusBar->addWidget(ui->infoLabel, 1);
    auto *wheelGuard = new WheelGuard(this);
    wheelGuard->guard(ui->dockWidget_scopeContents);
    wheelGuard->guard(ui->dockWidget_awgContents);
    // Export follows the frame shown (ExportControls).
    ui->actionImport->setEnabled(false);
    ui->actionConnect->setEnabled(false);
    // A greyed entry says why, and where to go instead.
    ui->menuMain->setToolTipsVisible(true);
    ui->actionImport->setToolTip(tr("Not available: a saved wave opens with \"Load\" on the Record panel"));
    ui->actionConnect->setToolTip(tr("Not available: the instrument connects with \"Connect\" on the Options tab"));
}

void VeltoInterface::setupAppSetting()
{
    QSettings store;
    QStringList problems;
    const AppSettings::Values values = AppSettings::read(store, &problems);
    for (const QString &key : problems)
        VELTO_LOG(QStringLiteral("Application settings: \"%1\" has a value of the wrong type, default used").arg(key),
                  2);
    // Never larger than the screen's free area; a maximised window gets the
    // whole of it as its normal size.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect place = AppSettings::windowGeometry(
            screen->availableGeometry(), values.wasMaximized ? QSize() : values.size, values.position,
            values.hasPosition);
        // The corner is the frame's, as pos() gave it at the last close.
        resize(place.size());
        move(place.topLeft());
    }
    scopeOptionSet.theme = values.theme;
    storedDefaultDir = values.defaultDir;
    storedRemoteControl = values.remoteControl;
}

void VeltoInterface::saveAppSettings()
{
    deviceSettingsSave();
    VELTO_LOG(QStringLiteral("Save application settings"), 0);
    QSettings store;
    AppSettings::write(store, size(), isMaximized(), recordControls->defaultDir(), pos(), remoteControl->remembered());
}


void VeltoInterface::deviceSettingsSave()
{
    pythonConsoleOptions.writeToSettings(pythonConsoleOptions.getName());
    {
        QSettings store;
        store.setValue(QStringLiteral("Oscilloscope/gridStyle"), scopeOptionSet.gridStyle);
        store.setValue(QStringLiteral("Oscilloscope/logicLabelPosition"), scopeOptionSet.logicLabelPosition);
        store.setValue(QStringLiteral("Oscilloscope/theme"), scopeOptionSet.theme);
        store.sync();
    }
    multimeterDisplayOptions.writeToSettings(multimeterDisplayOptions.getName());
    QSettings store;
    VELTO_LOG(QStringLiteral("Save device settings"), 0);
    DeviceSettings::save(store, this, triggerControls->model());
    cursorControls->saveCursors(store);
    store.sync();
    DeviceSettings::reportStoreStatus(store, "could not be written: the controls are not saved");
}

void VeltoInterface::deviceSettingsLoad()
{
    pythonConsoleOptions.readFromSettings(pythonConsoleOptions.getName());
    {
        const QSettings store;
        DeviceSettings::reportStoreStatus(store, "could not be read whole: what it lacks takes its default");
        scopeOptionSet.gridStyle = DeviceSettings::readOption(store, "gridStyle", scopeOptionSet.gridStyle, 3);
        scopeOptionSet.logicLabelPosition =
            DeviceSettings::readOption(store, "logicLabelPosition", scopeOptionSet.logicLabelPosition, 1);
        scopeOptionSet.theme = DeviceSettings::readOption(store, "theme", scopeOptionSet.theme, 2);
    }
    multimeterDisplayOptions.readFromSettings(multimeterDisplayOptions.getName());
    const QSettings store;
    // The buffer boxes list the sizes the instrument offered when it was last
    // asked (the form's few at start): a larger stored size is listed until
    // the instrument, once connected, says what it has room for. Its memory
    // holds 48 blocks in all.
    const std::pair<QComboBox *, const char *> buffers[] = {{ui->comboBoxDACBuffer, "Buffers/DAC"},
                                                            {ui->comboBoxADCBuffer, "Buffers/ADC"}};
    for (const auto &[box, key] : buffers) {
        bool number = false;
        const int index = store.value(QLatin1String(key)).toInt(&number);
        if (number && index >= box->count() && index < 48)
            ScopeChannels::bufferComboBoxItemChange(box, index + 1);
    }
    VELTO_LOG(QStringLiteral("Read saved device settings"), 0);
    DeviceSettings::load(store, this, triggerControls->model());
    cursorControls->loadCursors(store);
    scopeDisplay->scopeInitDatacache();
}

void VeltoInterface::closeApplication()
{
    if (applicationClosed)
        return;
    applicationClosed = true;
    VELTO_LOG(QStringLiteral("Application goes down"), 2);
    // A recording running now is kept, whichever way the window goes.
    recordControls->closeRecording();
    displayTick.stop();
    meterTick.stop();
    deviceSession->disconnectDevice(true);
    saveAppSettings();
}

bool VeltoInterface::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::HoverMove:
    case QEvent::Wheel:
        scopeDisplay->noteUserActivity();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void VeltoInterface::closeEvent(QCloseEvent *event)
{
    closeApplication();
    event->accept();
}

void VeltoInterface::exitTriggered()
{
    exitWith(0);
}

void VeltoInterface::exitWith(int status)
{
    VELTO_LOG(QStringLiteral("Exit triggered"), 2);
    if (status != 0)
        VELTO_LOG(QStringLiteral("Exit status %1").arg(status), 2);
    closeApplication();
    // A script that pressed Exit itself stops at its next step, as after sys.exit.
    PythonBridge::requestExit(status);
    if (terminateProcess)
        terminateProcess(status);
}

void VeltoInterface::keyPressEvent(QKeyEvent *event)
{
    plotInteraction->keyPressed(event);
    QMainWindow::keyPressEvent(event);
}

void VeltoInterface::keyReleaseEvent(QKeyEvent *event)
{
    plotInteraction->keyReleased(event);
    QMainWindow::keyReleaseEvent(event);
}

void VeltoInterface::changeWindowTitle(QString text)
{
    setWindowTitle(AppSettings::windowTitle(text));
}

void VeltoInterface::setInfoText(QString text, bool busy)
{
    ui->infoLabel->setText(text);
    ui->centralWidget->setEnabled(!busy);
    // Shown before the long synchronous work that usually follows.
    ui->infoLabel->repaint();
    ui->centralWidget->repaint();
}

void VeltoInterface::showLogLocation(const QString &path)
{
    auto *note = new QLabel(tr("Log: %1").arg(path), ui->statusBar);
    note->setObjectName(QStringLiteral("logLocationLabel"));
    note->setToolTip(tr("The working folder cannot be written: Velto's log is kept here"));
    ui->statusBar->addPermanentWidget(note);
    VELTO_LOG(QStringLiteral("The working folder cannot be written; the log is %1").arg(path), 2);
}

void VeltoInterface::showDataFiles(const QStringList &paths)
{
    auto *note = ui->statusBar->findChild<QLabel *>(QStringLiteral("dataFilesLabel"));
    if (!note) {
        note = new QLabel(ui->statusBar);
        note->setObjectName(QStringLiteral("dataFilesLabel"));
        ui->statusBar->addPermanentWidget(note);
    }
    note->setText(tr("Data: %1").arg(QFileInfo(paths.first()).absolutePath()));
    note->setToolTip(tr("The instrument was checked against:\n%1").arg(paths.join(QLatin1Char('\n'))));
}

void VeltoInterface::connectionChanged(bool connected)
{
    ui->connectButton->setText(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    ui->connectLabel->setText(connected ? tr("USB Connected") : tr("Not Connected"));
    changeWindowTitle(connected ? QStringLiteral("Interface - USB Connected")
                                : QStringLiteral("Interface - Not Connected"));
    ui->connectIcon->setPixmap(QPixmap(connected ? QStringLiteral(":/icons/led-on.png")
                                                 : QStringLiteral(":/icons/led-off.png")));
    if (connected)
        setInfoText(QStringLiteral("USB Connected"), false);
    if (connected && !startupScript.isEmpty())
        QTimer::singleShot(0, this, &VeltoInterface::runStartupScript);
}

PythonConsole *VeltoInterface::pythonConsole() const
{
    return console.data();
}

void VeltoInterface::on_actionConsole_triggered()
{
    VELTO_LOG(QStringLiteral("Check Python console status"), 0);
    if (console && consoleExists) {
        VELTO_LOG(QStringLiteral("Show Ptyhon console"), 0);
        console->show();
        console->raise();
        console->activateWindow();
        return;
    }
    VELTO_LOG(consoleCreated ? QStringLiteral("Recreate Python console") : QStringLiteral("Create new Python console"),
              0);
    consoleCreated = true;
    ScriptTargets targets;
    targets.window = this;
    targets.generator = generatorControls;
    targets.bufferSize = [this] { return state->samplesPerChannel; };
    console = new PythonConsole(this, &pythonConsoleOptions, &consoleExists, targets);
    console->setAttribute(Qt::WA_DeleteOnClose);
    connect(console, &PythonConsole::configurationRequest, this, &VeltoInterface::callSettings);
    connect(console, &PythonConsole::exitRequested, this, &VeltoInterface::exitWith);
    console->show();
}

void VeltoInterface::runStartupScript()
{
    // Once per process, as the console's Open would run it. A script that
    // cannot be read (2) or raises (1) ends Velto: nobody may be watching the
    // console. One that runs to its end leaves the window to the user.
    const QString script = startupScript;
    startupScript.clear();
    on_actionConsole_triggered();
    const PythonConsole::ScriptEnd end = console->runScript(script, true);
    if (end == PythonConsole::ScriptEnd::Unreadable) {
        sayOnTerminalAndLog(startupScriptProblem(script));
        exitWith(2);
    } else if (end == PythonConsole::ScriptEnd::Failed || !PythonBridge::lastErrorText().isEmpty()) {
        // The traceback, or the text given to sys.exit, as python would print it.
        const QString text = PythonBridge::lastErrorText();
        sayOnTerminalAndLog(QStringLiteral("VELTO_SCRIPT: %1 ended with an error").arg(script));
        sayOnTerminal(text);
        for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            VELTO_LOG(QStringLiteral("VELTO_SCRIPT: ") + line, 3);
        if (end == PythonConsole::ScriptEnd::Failed)
            exitWith(1);
    }
}

void VeltoInterface::showProfileMessages(const QVector<CriticalMessage> &messages)
{
    CriticalMessagePresenter &presenter = criticalMessagePresenter();
    for (const CriticalMessage &message : messages)
        presenter.showCritical(this, message.title, message.text);
}

void VeltoInterface::dataShow()
{
    // The meter modes poll on their own timer.
    bool worked = false;
    if (mode == 0) {
        worked = scopeDisplay->scopeDataShow(ScopeDisplay::Show::AtPaint);
    } else if (mode == 1) {
        snifferControls->sniffDataShow();
        worked = true;
    }
    // A tick costs little, but 100 of them a second add up: while nothing
    // comes, or the user is away, the tick slows down to 50 a second, which
    // still keeps up with the 15 paints a second at rest.
    if (worked || !sinceDisplayWork.isValid())
        sinceDisplayWork.restart();
    const bool slow = sinceDisplayWork.elapsed() > idleAfterMs || scopeDisplay->userAtRest();
    const int wanted = slow ? idleDisplayInterval : displayInterval;
    if (displayTick.isActive() && displayTick.interval() != wanted)
        displayTick.setInterval(wanted);
    // A client's acquisition that this tick's frame ended is answered now.
    remoteControl->server()->resumeReady();
}

void VeltoInterface::meterPollIntervalChanged(int milliseconds)
{
    if (milliseconds > 0)
        meterTick.start(milliseconds);
    else
        meterTick.stop();
}

void VeltoInterface::mainTabChanged(int index)
{
    if (index == 1) {
        meterControls->meterTabChanged(ui->mmTabWidget->currentIndex());
        return;
    }
    meterTick.stop();
    snifferControls->sniffStop();
    // The meter and counter pages borrow the trigger source entry; the scope takes it back.
    triggerControls->sendTriggerSource(ui->comboBoxTrigSource->currentIndex());
    scopeChannels->sendCH1Controls();
    scopeChannels->sendCH2Controls();
    mode = 0;
    deviceSession->sendMainModeControls(0);
    state->redrawRequested = true;
}

void VeltoInterface::deviceSettingsExec()
{
    // Handlers of controls that arrive later take their places in this order.
    ScopeChannels *c = scopeChannels;
    c->channel1GainSliderChanged(ui->ch1GainSlider->value(), true);
    c->channelPositionSliderChanged(0, ui->ch1PositionSlider->value(), state->settings.cursorChannel == 0);
    c->channel1ACDCChanged(true);
    c->sendCH1Controls();
    c->channel2GainSliderChanged(ui->ch2GainSlider->value(), true);
    c->channelPositionSliderChanged(1, ui->ch2PositionSlider->value(), state->settings.cursorChannel == 1);
    c->channel2ACDCChanged(true);
    c->sendCH2Controls();
    c->channelLogicSizeSliderChanged();
    c->channelLogicPositionSliderChanged(ui->chdPositionSlider->value());
    c->sendCHDBitControls();
    spectrumControls->fftControlsPlotSet();
    spectrumControls->fftWindowFunctionSet();
    plot->displayIntensitySliderChanged(ui->intensitySlider->value());
    plot->displayVectorsChanged(ui->checkBoxVectors->isChecked());
    plot->displayControlsSet();
    applyScopeConfiguration();
    cursorControls->cursorsVerticalChanged(ui->checkBoxCursorVertical->isChecked());
    cursorControls->cursorsHorizontalChanged(ui->checkBoxScopeCursorsHorizontal->isChecked());
    cursorControls->cursorsHorizontalTypeSet(ui->comboBoxScopeCursorsHorizontalType->currentIndex());
    cursorControls->cursorsSetChannelActive(ui->comboBoxScopeCursorsChannel->currentIndex());
    TriggerControls *t = triggerControls;
    t->scopeTriggerSourceChanged(ui->comboBoxTrigSource->currentIndex());
    t->scopeSetTriggerAutoTimer(ui->doubleSpinBoxTrigAuto->value());
    t->triggerHoldChanged(ui->doubleSpinBoxTrigHold->value());
    t->sendTriggerLevels();
    t->scopeSetTriggerMode();
    t->scopeSetTriggerType();
    c->scopeRollModeChanged();
    c->sendMixedControls();
    c->scopeSamplingSliderChanged(ui->samplingSlider->value());
    counterControls->sendTriggerSource();
    counterControls->sendGateSource();
    counterControls->meterFrequencyModeChanged();
    meterControls->meterTabChanged(ui->mmTabWidget->currentIndex());
    generatorControls->replaySettings();
    c->sendMixedControls();
    snifferControls->replaySettings();
    mainTabChanged(ui->mainTabWidget->currentIndex());
}

void VeltoInterface::deviceSettingsSendInteractive()
{
    generatorControls->awgDACBufferChanged(ui->comboBoxDACBuffer->currentIndex());
    scopeChannels->scopeADCBufferChanged(ui->comboBoxADCBuffer->currentIndex());
    generatorControls->frequencySweep()->frequencyDigitsValueChanged();
    scopeChannels->channel1TraceChanged(ui->checkBoxCH1Trace->isChecked());
    scopeChannels->channel2TraceChanged(ui->checkBoxCH2Trace->isChecked());
    scopeChannels->channelLogicTraceChanged();
    generatorControls->awgEnableChanged();
}

void VeltoInterface::applyScopeConfiguration()
{
    plot->displayThemeChanged(scopeOptionSet.theme, scopeOptionSet.editCustomTheme);
    scopeOptionSet.editCustomTheme = false;
    plot->logicLabelPositionSet(scopeOptionSet.logicLabelPosition);
    plot->displayGridStyleChanged(scopeOptionSet.gridStyle);
    state->redrawRequested = true;
}

void VeltoInterface::callSettings(QString component)
{
    settingsDialog = Settings::callSettings(this, optionsMap.data(), component, this,
                                            SIGNAL(applyConfigurationRequest()));
}

void VeltoInterface::showAbout()
{
    aboutDialog = new About(this, &globalOptions);
    aboutDialog->setAttribute(Qt::WA_DeleteOnClose);
    aboutDialog->exec();
}
