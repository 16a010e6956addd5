#include "app/veltointerface.h"

#include "app/appsettings.h"
#include "app/logging.h"
#include "scope/scaletables.h"
#include "ui/customtheme.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QSettings>
#include <QStringList>
#include <QTimer>

#include <cstdlib>
#include <cstring>

void veltoInitResources();

VeltoInterface::VeltoInterface(QWidget *parent) : QMainWindow(parent)
{
    veltoInitResources();
    terminateProcess = [](int code) { std::exit(code); };

    // 1. Timers and the operating mode.
    mainMode = 0;

    // 2. Fonts of the read-outs, and the application font.
    for (const char *font : {":/fonts/cour.ttf", ":/fonts/SourceCodeVariable-Italic.ttf",
                             ":/fonts/SourceCodeVariable-Roman.ttf"}) {
        if (QFontDatabase::addApplicationFont(QString::fromLatin1(font)) < 0)
            logToFile(QStringLiteral("Font not available: ") + QString::fromLatin1(font), 2);
    }
    QGuiApplication::setFont(QFont(QStringLiteral("Cantarell"), 10, QFont::Normal));

    // 3. The option sets are members; the map hands them to the settings dialog by name.
    registerOptionTypes();
    optionsMap.insert(&globalOptions);
    optionsMap.insert(&pythonConsoleOptions);
    optionsMap.insert(&scopeOptions);
    optionsMap.insert(&multimeterDisplayOptions);

    // 4. The form.
    ui = new Ui::VeltoInterface;
    ui->setupUi(this);
    samplesPerChannel = 768;
    ui->mainTabWidget->setCurrentIndex(0);

    // 5. Style sheet and title.
    QFile sheet(QStringLiteral(":/themes/theme-linux.qss"));
    if (sheet.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromLatin1(sheet.readAll()));
    else
        logToFile(QStringLiteral("Style sheet :/themes/theme-linux.qss not available"), 2);
    ui->connectLabel->setStyleSheet(QStringLiteral("QLabel{font-size: 12px};"));
    changeWindowTitle(QStringLiteral("Interface - Not Connected"));

    // 6. Application settings, then the placeholder frame the display starts from.
    setupAppSetting();
    const ScaleTables::SliderRange position = ScaleTables::positionSliderRange();
    const ScaleTables::SliderRange logicPosition = ScaleTables::logicPositionSliderRange();
    for (QSlider *slider : {ui->ch1PositionSlider, ui->ch2PositionSlider, ui->ch1CaptureSlider, ui->ch2CaptureSlider})
        slider->setRange(position.minimum, position.maximum);
    for (QSlider *slider : {ui->chdPositionSlider, ui->chdCaptureSlider})
        slider->setRange(logicPosition.minimum, logicPosition.maximum);
    scopeInitDatacache();

    // 7. The custom theme dialog, the scale tables, the trigger model, the plot.
    customThemeDialog = new CustomTheme(nullptr);
    customThemeDialog->loadTheme();
    connect(customThemeDialog, &CustomTheme::applyCustomTheme, this, &VeltoInterface::setTheme);
    setupValues();
    triggerModel.triggerInit();
    triggerModel.setFrameSize(samplesPerChannel);
    setupGrid();
    displayControlsSet();
    setupScopeMeterDisplays();
    connect(customPlot, &QCustomPlot::mouseMove, this, &VeltoInterface::moveCursor);
    connect(customPlot, &QCustomPlot::mousePress, this, &VeltoInterface::selectItem);
    connect(customPlot, &QCustomPlot::mouseRelease, this, &VeltoInterface::deselectItem);
    connect(customPlot, &QCustomPlot::itemDoubleClick, this, &VeltoInterface::itemDoubleClick);
    customPlot->installEventFilter(this);

    // 8. The read-out faces of the meter displays.
    meterFontLarge = QFont(QStringLiteral("Courier New"), 40, 63);
    meterFontMedium = QFont(QStringLiteral("Courier New"), 36, 63);
    meterFontSmall = QFont(QStringLiteral("Courier New"), 28, 63);

    // 9. The configuration and waveform buffer.
    std::memset(bulkBuffer, 0, sizeof(bulkBuffer));
    ui->toolButtonDACOffsetOK->setEnabled(false);
    ui->toolButtonDACGainOK->setEnabled(false);
    QCoreApplication::processEvents();

    // 10. Connect as soon as the event loop runs.
    QTimer::singleShot(0, this, &VeltoInterface::on_connectButton_clicked);

    // 11. The display tick.
    connect(&displayTimer, &QTimer::timeout, this, &VeltoInterface::dataShow);
    connect(&meterTimer, &QTimer::timeout, this, &VeltoInterface::meterRequestData);
    displayTimer.start(displayInterval);

    // 12. (startingUp is cleared at the end: the options applied in step 16
    // must not open the custom theme dialog, whose colours setupGrid applied.)
    triggerMarkerEnabled = true;
    triggerModel.triggerSetEnable(true);
    configurationBulkMode = false;

    // 13. Apply every setting; without a device nothing is sent.
    deviceSettingsExec();

    // 14.
    connect(&usbDevice.serialPort, &SerialPortConnection::connectionStatus, this,
            [this](const QString &status) { setInfoText(status); });
    connect(this, &VeltoInterface::applyConfigurationRequest, this, &VeltoInterface::applyScopeConfiguration);

    // 15. The tabs and the generator live in docks; the central widget holds the plot alone.
    ui->dockWidget_awgContents->layout()->addWidget(ui->scrollArea);
    // The scope side bar scrolls on screens shorter than its pages.
    auto *scopeScroll = new QScrollArea(ui->dockWidget_scopeContents);
    scopeScroll->setObjectName(QStringLiteral("scopeScrollArea"));
    scopeScroll->setWidgetResizable(true);
    scopeScroll->setFrameShape(QFrame::NoFrame);
    scopeScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scopeScroll->setWidget(ui->mainTabWidget);
    ui->dockWidget_scopeContents->layout()->addWidget(scopeScroll);
    ui->statusBar->addWidget(ui->infoLabel, 1);
    ui->actionImport->setEnabled(false);
    ui->actionExport->setEnabled(false);
    ui->actionConnect->setEnabled(false);

    // 16.
    emit applyConfigurationRequest();
    startingUp = false;
}

VeltoInterface::~VeltoInterface()
{
    displayTimer.stop();
    meterTimer.stop();
    delete customThemeDialog;
    delete ui;
}

void VeltoInterface::logToFile(QString message, int level)
{
    veltoLog(message, level, __FILE__, __LINE__, Q_FUNC_INFO);
}

void VeltoInterface::setupAppSetting()
{
    startingUp = true;
    triggerMarkerEnabled = false;
    QSettings store;
    QStringList problems;
    const AppSettings::Values values = AppSettings::read(store, &problems);
    for (const QString &key : problems)
        logToFile(QStringLiteral("Application settings: \"%1\" has a value of the wrong type, default used").arg(key),
                  2);
    if (!values.wasMaximized && values.size.isValid()) {
        setGeometry(0, 0, values.size.width(), values.size.height());
        if (QScreen *screen = QGuiApplication::primaryScreen())
            move(AppSettings::centredPosition(screen->geometry(), frameGeometry().size()));
    }
    scopeOptions.theme = values.theme;
    defaultDir = values.defaultDir;
}

void VeltoInterface::saveAppSettings()
{
    logToFile(QStringLiteral("Save application settings"), 0);
    QSettings store;
    AppSettings::write(store, size(), isMaximized(), defaultDir);
}

void VeltoInterface::closeApplication()
{
    if (applicationClosed)
        return;
    applicationClosed = true;
    logToFile(QStringLiteral("Application goes down"), 2);
    displayTimer.stop();
    meterTimer.stop();
    disconnectDevice(true);
    saveAppSettings();
}

void VeltoInterface::closeEvent(QCloseEvent *event)
{
    closeApplication();
    event->accept();
}

void VeltoInterface::on_actionExit_triggered()
{
    logToFile(QStringLiteral("Exit triggered"), 2);
    closeApplication();
    if (terminateProcess)
        terminateProcess(0);
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

void VeltoInterface::dataShow()
{
    // Mode 1 runs the sniffer display once it exists; the meter modes poll on their own timer.
    if (mainMode == 0)
        scopeDataShow();
}

void VeltoInterface::meterRequestData()
{
    // The meter read arrives with the meter pages.
}

void VeltoInterface::on_mainTabWidget_currentChanged(int index)
{
    mainTabChanged(index);
}

void VeltoInterface::on_mmTabWidget_currentChanged(int index)
{
    meterTabChanged(index);
}

void VeltoInterface::mainTabChanged(int index)
{
    if (index == 1) {
        meterTabChanged(ui->mmTabWidget->currentIndex());
        return;
    }
    meterTimer.stop();
    // The meter and counter pages borrow the trigger source entry; the scope takes it back.
    sendTriggerSource(ui->comboBoxTrigSource->currentIndex());
    sendCH1Controls();
    sendCH2Controls();
    mainMode = 0;
    sendMainModeControls(0);
    redrawRequested = true;
}

void VeltoInterface::meterTabChanged(int index)
{
    meterTimer.stop();
    if (ui->mainTabWidget->currentIndex() != 1)
        return;
    switch (index) {
    case 0:
        mainMode = 2;
        sendMainModeControls(2);
        meterTimer.start(400);
        break;
    case 1:
        mainMode = 3;
        sendMainModeControls(3);
        meterTimer.start(400);
        break;
    default:
        // The counter page applies its own mode once its controls exist.
        break;
    }
}

void VeltoInterface::applyModuleConfiguration()
{
    emit applyConfigurationRequest();
}

void VeltoInterface::callSettings(QString component)
{
    settingsDialog = Settings::callSettings(this, optionsMap.data(), component, this, SLOT(applyModuleConfiguration()));
}

void VeltoInterface::on_actionSettings_triggered()
{
    callSettings(QString());
}

void VeltoInterface::on_actionAbout_triggered()
{
    aboutDialog = new About(this, &globalOptions);
    aboutDialog->setAttribute(Qt::WA_DeleteOnClose);
    aboutDialog->exec();
}

void VeltoInterface::applyScopeConfiguration()
{
    displayThemeChanged(scopeOptions.theme);
    logicLabelPositionSet(scopeOptions.logicLabelPosition);
    displayGridStyleChanged(scopeOptions.gridStyle);
    redrawRequested = true;
}
