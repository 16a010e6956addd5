#pragma once

#include "device/frames.h"
#include "device/libusbdevice.h"
#include "scope/tracebuilder.h"
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

#include <functional>

class QCloseEvent;
class QComboBox;
class QCPGraph;
class QCustomPlot;
class QLabel;

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
    void channelPositionSliderChanged(int channel, int value);
    void scopeSamplingSliderChanged(int index);
    void scopeRefreshSamplingRateLabel();
    void sendChannel1GainControls(int gain);
    void sendChannel2GainControls(int gain);
    void sendSamplingRate(int index);
    void bufferCheckMaxSize();
    void bufferComboBoxItemChange(QComboBox *comboBox, int count);

    // --- Scope display --------------------------------------------------------
    void setupGraphs();
    void displayControlsSet();
    void scopeDataShow();
    void scopeApplyTheme(int theme);

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
    TraceBuilder traceBuilder;
    TriggerModel triggerModel;
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

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *frequencyDigitLabel(int position) const;
    bool applicationClosed = false;
};
