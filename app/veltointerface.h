#pragma once

#include "device/frames.h"
#include "device/libusbdevice.h"
#include "scope/fft.h"
#include "scope/measurements.h"
#include "scope/persistenceaccumulator.h"
#include "scope/tracebuilder.h"
#include "scope/waveplayback.h"
#include "scope/triggermodel.h"
#include "ui/about.h"
#include "ui/options.h"
#include "ui/settings.h"
#include "widgets/multimeterdisplayoptions.h"

#include <QByteArray>
#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>

class CustomColors;
class CustomTheme;
class MultimeterDisplay;
class QAbstractButton;
class QCloseEvent;
class QComboBox;
class QCPAbstractItem;
class QCPGraph;
class QCPItemPixmap;
class QCPItemStraightLine;
class QCPItemText;
class QCPItemTracer;
class QCPRange;
class QCustomPlot;
class QKeyEvent;
class QLabel;
class QMouseEvent;
class VeltoGraph;

namespace Ui {
class VeltoInterface;
}

// The one window of Velto and the owner of the instrument: the transport,
// the two timers, the frame cache, the configuration buffer, the option sets
// and every control. Its methods live beside the subsystem they belong to and
// stay short: they read controls, call the core and write back or send.
class VeltoInterface : public QMainWindow
{
    Q_OBJECT
public:
    explicit VeltoInterface(QWidget *parent = nullptr);
    ~VeltoInterface() override;

    // --- Process frame -------------------------------------------------------
    void logToFile(QString message, int level);
    void setupAppSetting();
    void saveAppSettings();
    void closeApplication();
    void changeWindowTitle(QString text);

    // --- Main window ---------------------------------------------------------
    void mainTabChanged(int index);
    void meterTabChanged(int index);

    // --- Session -------------------------------------------------------------
    int deviceInitialize();
    void deviceInfoRead(QString path);
    int deviceProfileGet(QString identification);
    int deviceSettingsInitialize();
    void deviceSettingsExec();
    void deviceSettingsSendInteractive();
    void disconnectDevice(bool close);

    // --- Configuration protocol ----------------------------------------------
    void sendMainConfiguration(unsigned char index, int value);
    int sendMainConfigurationConfirm(unsigned char *reply, int length, unsigned char index, int value);
    void sendMainConfigurationFrequency(unsigned char index, long long value);
    void deviceSettingsSendBulk();
    void sendCouterStart();
    void sendCouterStop();
    void sendScopeStart();
    void sendScopeStop();
    void sendScopeForce();
    void sendSnifferStart();
    void sendSnifferStop();
    void sendSnifferClear();
    void sendMainModeControls(int mode);
    void sendCH1Controls();
    int sendCH1Controls(unsigned char *reply, int length);
    void sendCH2Controls();
    int sendCH2Controls(unsigned char *reply, int length);
    void sendCHDControls();
    int sendCHDControls(unsigned char *reply, int length);
    void sendCHDBitControls();
    int sendDACControls(unsigned char *reply, int length);
    void sendMixedControls();
    void sendDACBufferBlocks(int blocks);
    void sendCHBufferBlocks(int blocks);
    void sendWaveFrequency(long long hundredthsOfHertz);

    // --- Frames --------------------------------------------------------------
    void dataScopeHeaderGetData(frameconfig_t *header, unsigned char *data);
    void dataSnifferHeaderGetData(sniffconfig_t *header, unsigned char *data);
    void dataChannelMeterGetData(channela_t *meter, unsigned char *data);
    void dataChannelMeterGetSetitings(channela_t *meter, unsigned char *data);
    void dataInitChannelMeterBuffer(channela_t *meter);
    void clearBuffer(unsigned char *buffer, int length);
    QString getStringFromUnsignedChar(unsigned char *data, int length);
    void scopeInitDatacache();
    // The channels whose trace boxes are checked, as a frame's channel mask.
    uint8_t scopeTraceMask();
    int dataValueRangeTrunk(int value, int min, int max);
    long long dataValueRangeTrunk64(long long value, long long min, long long max);

    // --- Channel controls ----------------------------------------------------
    int scopeCH1ControlsValue();
    int scopeCH2ControlsValue();
    int scopeCHDControlsValue();
    void channel1TraceChanged(bool on);
    void channel2TraceChanged(bool on);
    void channelLogicTraceChanged();
    void scopeADCBufferChanged(int index);
    void channel1GainSliderChanged(int gain, bool updateButtons);
    void channel2GainSliderChanged(int gain, bool updateButtons);
    void channel1ACDCChanged(bool updateButtons);
    void channel2ACDCChanged(bool updateButtons);
    void channel1DCButtonCheck(int gain, bool ac);
    void channel2DCButtonCheck(int gain, bool ac);
    void channelPositionSliderChanged(int channel, int value, int zero, bool moveMarkers);
    void channelLogicSizeSliderChanged();
    void channelLogicPositionSliderChanged(int value);
    void channelSetBoxTitle(QWidget *box1, QWidget *box2, int channel, int gain, bool ac);
    void updateCh1Label(int ch1Controls, int ch2Controls);
    void updateCh2Label(int ch2Controls, int ch1Controls);
    void scopeSetSizeX(int blocks);
    void scopeRollModeChanged();
    void scopeSamplingSliderChanged(int index);
    void scopeRefreshSamplingRateLabel();
    void sendChannel1GainControls(int gain);
    void sendChannel2GainControls(int gain);
    void sendSamplingRate(int index);
    void bufferCheckMaxSize();
    void bufferComboBoxItemChange(QComboBox *comboBox, int count);

    // --- Scale tables and conversions (shells over ScaleTables) --------------------
    void setupValues();
    QString int8ToVolt(uint8_t gain, int8_t sample);
    QString int8ToVolt(uint8_t gain, int8_t a, int8_t b);
    QString int16ToVolt(uint8_t gain, int16_t value, int digits);
    double int8ToVolt_f(uint8_t gain, int8_t sample);
    double int8ToVolt_f(uint8_t gain, int8_t a, int8_t b);
    double int16ToVolt_f(uint8_t gain, int16_t value);
    QString pixelValueToVolt(double pixels, QString voltsPerDiv, int digits);
    double rawValueToVolt(QString voltsPerDiv, double pixels);
    QString samplex100ToFrequency(int periodX100, uint8_t samplingIndex);
    double samplex100ToFrequency_f(int periodX100, uint8_t samplingIndex);
    QString get4Digits(double x);
    QString get3Digits(double x);
    QString getDigitsPrecision(double x, int decimals);
    int mapRange(int x, int a, int b, int c, int d);
    double mapRangeF(double x, double a, double b, double c, double d);
    int mathRoundTo(double x, int step);
    double vCursorDeltaTime(double a, double b, QString &unit, double divisor, int samplingIndex);
    double deltaToFrequency(double t, int samplingIndex);
    double vCursorFrequency(double t, QString &unit, int samplingIndex);

    // --- Scope display --------------------------------------------------------
    void setupGraphs();
    void setupScopeMeterDisplays();
    // The six read-outs of a channel on the scope page, Vpp to frequency.
    std::array<MultimeterDisplay *, 6> scopeMeterDisplays(int channel) const;
    void displayControlsSet();
    void scopeDataShow();
    void scopeDrawFFT();
    void fftWindowFunctionSet();
    void fftControlsPlotSet();
    QString saveWavetoString();
    void saveWavetoFile();

    // --- Plot interaction -----------------------------------------------------
    void setupGrid();
    void setupItemLabels();
    void setupCursors();
    void setupTracers();
    void setupScatterStyles(bool vectors);
    void displayVectorsChanged(bool on);
    void displayIntensitySliderChanged(int value);
    void displayGridStyleChanged(int index);
    void gridBoxSet(const QColor &colour, Qt::PenStyle style);
    int logicBitPos0(int bit);
    void logicLabelPositionSet(int side);
    void logicLabelsRefresh();
    void zeroHeadRefresh();
    void ch1vZeroRefresh();
    void showCH1ZeroVerticalIndicator(bool on);
    void showCH2ZeroVerticalIndicator(bool on);
    void showCHDZeroVerticalIndicator(bool on);
    void setHorizontalScrollBar(double lower, double upper);
    void setVerticalScrollBar(double lower, double upper);
    void horizontalScrollBarChanged(int value);
    // Re-places the cursor size-change labels and everything placed in pixels.
    void on_sizeChanged();
    void placeItemsOnAxes();
    // The draggable items in the order of their selection numbers.
    QVector<QCPAbstractItem *> selectableItems() const;
    // The plot axes as plain mappings between plot units and pixels.
    PlotGeometry::AxisMapping keyAxisMapping() const;
    PlotGeometry::AxisMapping valueAxisMapping() const;

    // --- Cursors ----------------------------------------------------------------
    void vCursorInit();
    void vCursorSetRange(int low, int high);
    void vCursorSetPosition(int a, int b);
    void vCursorSetVisible(bool on);
    void vCursorSetLabelVisible(bool on);
    void vCursorSetLabelColor(const QColor &colour);
    void vCursorRefreshA();
    void vCursorRefreshB();
    void vCursorRefresh();
    void vCursorRefreshLabel();
    void cursorsVerticalChanged(bool on);
    void hCursorInit();
    void hCursorSetVisible(bool on);
    void hCursorSetChannelEnabled(int channel, bool on);
    void hCursorRefreshVisible();
    void hCursorSetLabelVisible(bool on);
    void hCursorSetLabelColor(const QColor &colour);
    void hCursorSetTracerVisible(bool on);
    void hCursorRefreshA();
    void hCursorRefreshB();
    void hCursorcSetPositionAuto(bool on, double ch1Max, double ch1Min, double ch2Max, double ch2Min);
    void hCursorRefreshLabel(bool on, int ch1Gain, int ch2Gain);
    void cursorsHorizontalChanged(bool on);
    void cursorsSetChannelActive(int channel);
    void cursorsHorizontalTypeSet(int type);

    // --- Themes -------------------------------------------------------------------
    void displayThemeChanged(int theme);

    // --- Trigger ---------------------------------------------------------------
    Trigger::Mode triggerModeChecked() const;
    void scopeSetTriggerType();
    void scopeSetTriggerMode();
    void scopeTriggerSourceChanged(int index);
    void scopeSetTriggerAutoTimer(double seconds);
    void sendTriggerControls();
    void sendTriggerWrites(const QVector<Trigger::ConfigWrite> &writes);
    void sendTriggerHold(int value);
    void sendTriggerSource(int index);
    void triggerSetVisible(bool on);
    void triggerSetIcon();
    void triggerRefreshPos();
    void triggerMoveTrigger(double x, double y, bool force);
    void triggerMoveWinTrigger(double x, double yLow, double yHigh, bool force);
    void triggerMarkersPlace(bool force = false);

    // --- Generator -----------------------------------------------------------
    void awgDACBufferChanged(int index);
    void awgEnableChanged();
    long long frequencyDigitsToFrequency();
    void frequencyDigitsValueChanged();
    void updateFrequency(double hundredthsOfHertz);
    double frequencyRealValueCheck();

    Ui::VeltoInterface *ui = nullptr;
    LibUsbDevice usbDevice;
    QTimer displayTimer;
    QTimer meterTimer;
    int displayInterval = 4;
    int mainMode = 0;
    bool startingUp = false;
    bool redrawRequested = false;
    QByteArray frameCache;
    int samplesPerChannel = 768;
    unsigned char bulkBuffer[1024];
    bool configurationBulkMode = false;
    bool awgSaveMode = false;
    bool triggerMarkerEnabled = false;
    QString defaultDir;
    GlobalOptions globalOptions;
    PythonConsoleOptions pythonConsoleOptions;
    ScopeOptions scopeOptions;
    MultimeterDisplayOptions multimeterDisplayOptions;
    // The option sets by class name, for the settings dialog.
    OptionsMap optionsMap;
    QPointer<Settings> settingsDialog;
    QPointer<About> aboutDialog;
    // The plot and its graphs, in drawing order.
    QCustomPlot *customPlot = nullptr;
    QCPGraph *ch1Graph = nullptr;
    QCPGraph *ch1RefGraph = nullptr;
    QCPGraph *ch2Graph = nullptr;
    QCPGraph *ch2RefGraph = nullptr;
    QCPGraph *decayGraphs[2][9] = {};
    QCPGraph *logicGraphs[8] = {};
    QCPGraph *logicBaseGraphs[8] = {};
    QCPGraph *logicRefGraphs[8] = {};
    QCPGraph *fftGraphs[2] = {};
    // Every graph above, for the drawing options that apply to all of them.
    QVector<VeltoGraph *> allGraphs;
    TraceBuilder traceBuilder;
    TriggerModel triggerModel;
    PersistenceHistory persistenceHistory;
    // Accumulated points while persistence is on: CH1, CH2, the logic bits, the spectra.
    PersistenceAccumulator persistenceAccumulators[2];
    PersistenceAccumulator logicAccumulators[8];
    PersistenceAccumulator fftAccumulators[2];
    ReferenceStore referenceStore;
    SpectrumBuilder spectrum;
    VerticalCursors vCursors;
    HorizontalCursors hCursors;
    // The scale lists of setupValues(), indexed by the sliders.
    QStringList timeBaseTexts;
    QStringList voltsPerDivTexts;
    QStringList inputRangeTexts;
    // Trigger marker icons, green (CH1 source) and red, in type order.
    QStringList triggerIconsGreen;
    QStringList triggerIconsRed;
    // The plot's items.
    QCPItemPixmap *hCursorHandle[2] = {};
    QCPItemStraightLine *hCursorLine[2] = {};
    QCPItemPixmap *vCursorHandle[2] = {};
    QCPItemStraightLine *vCursorLine[2] = {};
    QCPItemTracer *tracers[2][2] = {}; // [channel][cursor]
    QCPItemText *labelDeltaTime = nullptr;
    QCPItemText *labelFrequency = nullptr;
    QCPItemText *labelDeltaVolt = nullptr;
    QCPItemText *labelVoltA = nullptr;
    QCPItemText *labelVoltB = nullptr;
    QCPItemText *logicLabels[8] = {};
    QCPItemPixmap *zeroHandle[3] = {};
    QCPItemStraightLine *zeroLine[3] = {};
    QCPItemPixmap *ch1vZeroHandle = nullptr;
    QCPItemStraightLine *ch1vZeroLine = nullptr;
    QCPItemPixmap *triggerMarker = nullptr;
    QCPItemPixmap *windowMarker[2] = {}; // low, high
    // The held item, 0..9, or 10 for none.
    int selectedItem = 10;
    bool controlHeld = false;
    // Asks for a label's new name; tests replace the dialog.
    std::function<QString(const QString &current, bool *ok)> askLabel;
    QColor gridColour = QColor(140, 140, 140);
    Qt::PenStyle gridStyle = Qt::DotLine;
    // Lightness rule of the persistence colours for the current theme.
    int themeIntensityMode = 0;
    // The theme whose colours are on the plot.
    int appliedTheme = -1;
    CustomTheme *customThemeDialog = nullptr;
    // Per-tick state of the display.
    int lastFrameNumber = -1;
    bool captureRequested = false;
    bool saveRequested = false;
    bool loadedWaveShown = false;
    bool recordingActive = false;
    WavePlayback wavePlayback;
    QVector<QVector<double>> savedWave;     // CH1, CH2, bits 0..7
    QString recordingText;
    QString saveDestinationDir;
    // Ticks drawn; frames shown and frames the instrument sent that were
    // never shown (from gaps in the frame numbers), for the benchmark and the tests.
    quint64 drawnTicks = 0;
    quint64 framesShown = 0;
    quint64 framesMissed = 0;
    // Zero levels of CH1, CH2 and the logic group in plot units: 640 + the position slider.
    int zeroLevel[3] = {640 - 120, 640, 640 + 8};
    // The read-out faces of the meter displays, large to small.
    QFont meterFontLarge;
    QFont meterFontMedium;
    QFont meterFontSmall;
    // The effective generator frequency last read back, in hertz.
    double effectiveFrequency = 0;
    // How the Exit action ends the process; tests replace it.
    std::function<void(int)> terminateProcess;
    // Delay of the scope start after a configuration push; tests shorten it.
    int scopeStartDelayMs = 2000;

signals:
    void applyConfigurationRequest();

public slots:
    void on_actionExit_triggered();
    void on_actionSettings_triggered();
    void on_actionAbout_triggered();
    void callSettings(QString component);
    void applyModuleConfiguration();
    void on_connectButton_clicked();
    void on_mainTabWidget_currentChanged(int index);
    void on_mmTabWidget_currentChanged(int index);
    void dataShow();
    void meterRequestData();
    void setInfoText(QString text, bool busy = false);
    void applyScopeConfiguration();
    void scopeStartForce();

    void on_checkBoxCH1Trace_clicked(bool checked);
    void on_checkBoxCH2Trace_clicked(bool checked);
    void on_checkBoxCHDTrace_clicked();
    void on_groupBoxCH1AC_clicked(bool checked);
    void on_groupBoxCH1DC_clicked(bool checked);
    void on_groupBoxCH2AC_clicked(bool checked);
    void on_groupBoxCH2DC_clicked(bool checked);
    void on_checkBoxCH1ACDC_clicked();
    void on_checkBoxCH1Invert_clicked();
    void on_checkBoxCH1Average_clicked();
    void on_checkBoxCH1Math_clicked();
    void on_radioButtonCH1Sub_clicked();
    void on_radioButtonCH1Multiply_clicked();
    void on_checkBoxCH2ACDC_clicked();
    void on_checkBoxCH2Invert_clicked();
    void on_checkBoxCH2Average_clicked();
    void on_checkBoxCH2Math_clicked();
    void on_radioButtonCH2Sub_clicked();
    void on_radioButtonCH2Multiply_clicked();
    void on_checkBoxCHDInvert_clicked();
    void on_checkBoxCHD0_clicked();
    void on_checkBoxCHD1_clicked();
    void on_checkBoxCHD2_clicked();
    void on_checkBoxCHD3_clicked();
    void on_checkBoxCHD4_clicked();
    void on_checkBoxCHD5_clicked();
    void on_checkBoxCHD6_clicked();
    void on_checkBoxCHD7_clicked();
    void on_comboBoxADCBuffer_currentIndexChanged(int index);
    void on_ch1GainSlider_valueChanged(int value);
    void on_ch2GainSlider_valueChanged(int value);
    void on_toolButtonCh1ADC24V_clicked();
    void on_toolButtonCh1ADC2V4_clicked();
    void on_toolButtonCh2ADC24V_clicked();
    void on_toolButtonCh2ADC2V4_clicked();
    void on_ch1PositionSlider_valueChanged(int value);
    void on_ch2PositionSlider_valueChanged(int value);
    void on_chdPositionSlider_valueChanged(int value);
    void on_chdSizeSlider_valueChanged();
    void on_samplingSlider_valueChanged(int value);
    void on_stopButton_clicked();
    void on_forceButton_clicked();
    void on_comboBoxTrigSource_currentIndexChanged(int index);
    void on_radioButtonFree_clicked();
    void on_radioButtonNormal_clicked();
    void on_radioButtonAuto_clicked();
    void on_radioButtonSingle_clicked();
    void on_radioButtonRisingEdge_clicked();
    void on_radioButtonFallingEdge_clicked();
    void on_radioButtonDual_clicked();
    void on_radioButtonPositiveSlope_clicked();
    void on_radioButtonNegativeSlope_clicked();
    void on_radioButtonWindow_clicked();
    void on_doubleSpinBoxTrigAuto_valueChanged(double seconds);
    void on_doubleSpinBoxTrigHold_valueChanged(double value);
    void on_checkBoxCH1Invert_toggled();
    void on_checkBoxCH2Invert_toggled();
    void on_comboBoxDACBuffer_currentIndexChanged(int index);
    void on_checkBoxAWBEnable_clicked();
    void on_checkBoxmeterondev_clicked();
    void on_rollMode_clicked();
    void on_elasticMode_clicked();
    void on_xyMode_clicked();
    void on_checkBoxVectors_clicked(bool checked);
    void on_intensitySlider_valueChanged(int value);
    void on_decaySlider_valueChanged(int value);
    void on_checkBoxPersistence_clicked();
    void on_checkBoxCursorVertical_clicked(bool checked);
    void on_checkBoxScopeCursorsHorizontal_clicked(bool checked);
    void on_comboBoxScopeCursorsHorizontalType_currentIndexChanged(int index);
    void on_comboBoxScopeCursorsChannel_currentIndexChanged(int index);
    void on_horizontalScrollBar_valueChanged(int value);
    void on_verticalScrollBar_valueChanged(int value);
    void on_captureButton_clicked();
    void on_refCH1_clicked();
    void on_refCH2_clicked();
    void on_refLogic_clicked();
    void on_ch1CaptureSlider_valueChanged();
    void on_ch2CaptureSlider_valueChanged();
    void on_chdCaptureSlider_valueChanged();
    void on_checkBoxFFTTrace_clicked();
    void on_checkBoxIQFFT_clicked();
    void on_checkBoxLogY_clicked();
    void on_checkBoxFFTCH1_clicked();
    void on_checkBoxFFTCH2_clicked();
    void on_radioButtonRect_clicked();
    void on_radioButtonHamming_clicked();
    void on_radioButtonHann_clicked();
    void on_radioButtonBlackman_clicked();
    void selectItem(QMouseEvent *event);
    void moveCursor(QMouseEvent *event);
    void deselectItem(QMouseEvent *event);
    void itemDoubleClick(QCPAbstractItem *item, QMouseEvent *event);
    void xAxisChanged(const QCPRange &range);
    void yAxisChanged(const QCPRange &range);
    void setTheme(int theme, CustomColors *colours);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *frequencyDigitLabel(int position) const;
    bool applicationClosed = false;
};
