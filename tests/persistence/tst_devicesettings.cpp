// SPDX-License-Identifier: GPL-3.0-only
#include "common/windowtest.h"
#include "core/device/configprotocol.h"
#include "core/instruments/generatorlaws.h"
#include "core/persistence/devicesettings.h"
#include "core/persistence/devicesettingskeys.h"

#include <QSettings>
#include <QtTest>

using DeviceSettingsKeys::Key;
using DeviceSettingsKeys::Kind;

namespace {
// A value of `key` other than its default that its control holds as it is.
QVariant otherValue(const QObject *window, const Key &key)
{
    // Levels the generator's boxes show exactly, and times on the boxes' steps.
    static const QMap<QString, QVariant> chosen{{"Trigger/TAuto", 0.4096}, {"Trigger/THold", 20.0},
                                                {"AWG/Amplitude", 1.0}, {"AWG/Duty", 25.0}, {"AWG/Offset", 1.0}};
    if (chosen.contains(key.path()))
        return chosen.value(key.path());
    if (key.kind == Kind::Bool)
        return !key.fallback.toBool();
    if (key.kind == Kind::Word)
        return key.words.at((key.words.indexOf(key.fallback.toString()) + 1) % key.words.size());
    if (key.kind == Kind::Digit)
        return QString::number((key.fallback.toInt() + 1) % (key.maximum + 1));
    const QObject *control = window->findChild<QObject *>(key.control);
    const int last = !control ? key.maximum
                     : key.kind == Kind::Index ? control->property("count").toInt() - 1
                                               : control->property("maximum").toInt();
    return key.fallback.toInt() < last ? key.fallback.toInt() + 1 : key.fallback.toInt() - 1;
}

QMap<QString, QVariant> snapshot(VeltoInterface &w)
{
    // The values looked up together are the ones each key finds alone.
    const QVector<QVariant> together = DeviceSettings::controlValues(&w, w.trigger()->model());
    QMap<QString, QVariant> values;
    for (int i = 0; i < together.size(); ++i) {
        const Key &key = DeviceSettingsKeys::keys().at(i);
        if (together.at(i) != DeviceSettings::controlValue(&w, key, w.trigger()->model()))
            qFatal("%s: the value looked up with the others differs", qPrintable(key.path()));
        values[key.path()] = together.at(i);
    }
    return values;
}
} // namespace

class TestDeviceSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useVirtualBench(); }
    void init() { QSettings().clear(); }

    void emptyStoreGivesTheDefaults()
    {
        VeltoInterface window;
        Ui::VeltoInterface *ui = window.form();
        QVERIFY(ui->ch1PositionSlider->value() == 128 && ui->ch2PositionSlider->value() == 32);
        for (int bit = 0; bit < 8; ++bit)
            QVERIFY(window.findChild<QCheckBox *>(QStringLiteral("checkBoxCHD%1").arg(bit))->isChecked());
        QVERIFY(ui->radioButtonFree->isChecked() && ui->radioButtonRisingEdge->isChecked());
        QCOMPARE(window.generator()->frequencySweep()->frequencyDigitsToFrequency(), 100000LL); // 1000 Hz
        QVERIFY(ui->radioButtonSweepPingPong->isChecked() && ui->radioButtonSweepDutyCycle->isChecked());
        // Each generator control shows its default as it stands in the table.
        const QMap<QString, QVariant> shown = snapshot(window);
        for (const Key &key : DeviceSettingsKeys::keys()) {
            const QVariant v = shown[key.path()];
            if (key.group.startsWith(QLatin1String("AWG")))
                QVERIFY2(key.kind == Kind::Real ? qAbs(v.toDouble() - key.fallback.toDouble()) < 0.01
                                                : (key.kind == Kind::Word ? key.words.value(v.toInt()) : v.toString())
                                                      == key.fallback.toString(), qPrintable(key.path()));
        }
        QCOMPARE(QList<int>({ui->dutyCycleSlider->value(), window.trigger()->model().record(2).windowHigh,
                             window.scopeState()->samplesPerChannel}), QList<int>({128, 96, 768}));
    }

    void everyKeyRoundTrips()
    {
        VeltoInterface window;
        QSettings store;
        QMap<QString, QVariant> written{
            {"Oscilloscope/gridStyle", 3}, {"Oscilloscope/logicLabelPosition", 1}, {"Oscilloscope/theme", 1}};
        for (const Key &key : DeviceSettingsKeys::keys())
            written[key.path()] = otherValue(&window, key);
        for (auto it = written.cbegin(); it != written.cend(); ++it)
            store.setValue(it.key(), it.value());
        MessageCapture log;
        window.deviceSettingsLoad();
        QCOMPARE(log.count(QStringLiteral("Device settings: ")), 0);
        store.clear();
        window.deviceSettingsSave();
        for (auto it = written.cbegin(); it != written.cend(); ++it)
            QVERIFY2(store.value(it.key()).toString() == it.value().toString(),
                     qPrintable(it.key() + QStringLiteral(" came back as ") + store.value(it.key()).toString()));
        QVERIFY(store.contains("PythonConsole/fontSize") && store.contains("MultimeterDisplay/extendPrecision"));
    }

    void wordsAreMatchedExactlyAndUncheckedGroupsKeepTheirKey()
    {
        QSettings store;
        store.setValue(QStringLiteral("Trigger/Type"), QStringLiteral("Triger"));
        store.setValue(QStringLiteral("MeterFC/Type"), QStringLiteral("Reriod"));
        store.setValue(QStringLiteral("FFT/Window"), QStringLiteral("hann"));
        VeltoInterface window;
        Ui::VeltoInterface *ui = window.form();
        QVERIFY(ui->radioButtonNormal->isChecked() && ui->radioPeriod->isChecked());
        QVERIFY(!ui->radioButtonHann->isChecked() && ui->radioButtonRect->isChecked());
        store.clear();
        store.setValue(QStringLiteral("AWGSweep/Direction"), QStringLiteral("Rising"));
        ui->radioButtonSweepPingPong->setAutoExclusive(false);
        ui->radioButtonSweepPingPong->setChecked(false);
        window.deviceSettingsSave();
        QCOMPARE(QStringList({store.value("Trigger/Type").toString(), store.value("MeterFC/Type").toString(),
                              store.value("AWGSweep/Direction").toString()}),
                 QStringList({"Triger", "Reriod", "Rising"}));
    }

    void badValuesFallBackOneByOne()
    {
        const struct {
            const char *path;
            QVariant stored;
            QVariant loaded;
        } rows[] = {
            {"CH1/Position", "abc", 128},          {"CH2/Gain", 99, 9},
            {"Cursors/Vertical", "perhaps", true}, {"Sniffer/Mode", "Sometimes", 1},
            {"AWG/FDigit1000", "x", "1"},          {"AWG/FDigit100000", 7, "1"},
            {"SnifferUART/Baud", 42, 3},           {"AWG/Offset", "1,2", 0.0},
            {"Trigger/CH1Coord/TLevel", 500, 125}, {"Oscilloscope/theme", 9, 0},
            {"CH2/Position", -50, -50}, // good values among them still load
        };
        QSettings store;
        for (const auto &row : rows)
            store.setValue(QLatin1String(row.path), row.stored);
        MessageCapture log;
        VeltoInterface window;
        for (const auto &row : rows) {
            const Key *key = DeviceSettingsKeys::find(QLatin1String(row.path));
            const QVariant shown = key ? DeviceSettings::controlValue(&window, *key, window.trigger()->model())
                                       : QVariant(window.scopeOptions().theme);
            QVERIFY2(shown == row.loaded, row.path);
        }
        QCOMPARE(log.count(QStringLiteral("Device settings: \"")), int(std::size(rows)) - 1);

        // A file cut off in the middle: what it still holds loads, the rest takes its defaults.
        store.clear();
        store.sync();
        QVERIFY(writeFile(store.fileName(), "[CH1]\nGain=5\n[Trigger]\nSou"));
        log.clear();
        VeltoInterface again;
        QVERIFY(again.form()->ch1GainSlider->value() == 5 && again.form()->ch1PositionSlider->value() == 128);
        QVERIFY(log.contains(QStringLiteral("keys are missing")));
    }

    // Where the cursors stand and the colours of their read-outs.
    static QVariant cursorsOf(VeltoInterface &window)
    {
        const ScopeItems &items = window.scopePlot()->items();
        return QVariantList{window.cursors()->vertical().positionA, window.cursors()->horizontal().ch1B,
                            items.labelDeltaTime->color(), items.labelVoltA->color()};
    }
    void restartRestoresEveryControlAndTheInstrumentHearsThem()
    {
        QMap<QString, QVariant> before;
        MessageCapture log;
        {
            VeltoInterface window;
            window.setTerminateProcess(nullptr);
            Ui::VeltoInterface *ui = window.form();
            // Something on every page, as a user would.
            ui->ch1GainSlider->setValue(4);
            ui->ch2PositionSlider->setValue(-100);
            ui->checkBoxCHD3->click();
            ui->radioButtonBlackman->click();
            ui->intensitySlider->setValue(7);
            ui->comboBoxTrigSource->setCurrentIndex(1);
            ui->radioButtonNormal->click();
            window.trigger()->nudgeMarker(TriggerModel::Marker::Trigger, 10, 20);
            ui->samplingSlider->setValue(10);
            ui->mmTabWidget->setCurrentIndex(2);
            ui->fcR3->click();
            ui->radioButtonSquare->click();
            ui->doubleSpinBoxAmp->setValue(1.5);
            ui->toolButtonFrequencyDigit100Up->click();
            ui->sweepSpeedSlider->setValue(100);
            ui->collapsiblePanelAWGSweep->setChecked(true);
            ui->radioButtonSniffNormal->click();
            ScopeChannels::bufferComboBoxItemChange(ui->comboBoxADCBuffer, 15); // as the instrument offers
            ui->comboBoxADCBuffer->setCurrentIndex(9);
            ui->tabWidget1->setCurrentIndex(3);
            ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(2); // manual cursors, moved by hand
            window.cursors()->dragVertical(0, 300);
            window.cursors()->dragHorizontal(1, 500);
            window.scopeOptions().theme = 1;
            emit window.applyConfigurationRequest();
            before = snapshot(window);
            before.insert(QStringLiteral("cursors"), cursorsOf(window));
            ui->actionExit->trigger();
        }
        TraceCapture trace;
        VeltoInterface again;
        QVERIFY(log.count(QStringLiteral("Save device settings")) == 1 && log.count(QStringLiteral("Read saved device settings")) == 2);
        // The empty display is drawn from a cache of the restored shape.
        QCOMPARE(int(again.display()->frame().at(7)), 10);
        QCOMPARE(again.display()->frame().size(), Frames::scopeFrameLength(again.channels()->scopeTraceMask(), 2560));
        QMap<QString, QVariant> after = snapshot(again);
        after.insert(QStringLiteral("cursors"), cursorsOf(again));
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
        QCOMPARE(after.value(QStringLiteral("Trigger/CH1Coord/TLevel")).toInt(), -4 + 20);
        QVERIFY(connectToBench(again));
        const QString block = trace.matching(QStringLiteral("bulkout 0x01 512 0 ")).value(0);
        const QByteArray bytes = QByteArray::fromHex(block.section(QLatin1Char(' '), -1).toLatin1());
        const auto entry = [&](int index) { return ConfigProtocol::entryAt(frameBytes(bytes), index); };
        using namespace ConfigEntry;
        QCOMPARE(QList<int>({entry(Ch1Gain), entry(TriggerSource), entry(TriggerLevel), entry(SamplingRate),
                             entry(WaveType), entry(SweepSpeed)}),
                 QList<int>({4, 1, 16, 10, int(Generator::Square), ConfigProtocol::sweepSpeed(100)}));
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 25 10 ")).size(), 1);
        // A stored position that is none keeps its default, and says so.
        QSettings().setValue(QStringLiteral("Cursors/VA"), QStringLiteral("left"));
        VeltoInterface third;
        QVERIFY(third.cursors()->vertical().positionA == 64 && log.contains(QStringLiteral("\"Cursors/VA\" is not a cursor")));
    }
};

QTEST_MAIN(TestDeviceSettings)
#include "tst_devicesettings.moc"
