// SPDX-License-Identifier: GPL-3.0-only
#include "core/persistence/devicesettingskeys.h"

#include <QSettings>

#include <algorithm>
#include <climits>
#include <cmath>

namespace DeviceSettingsKeys {

namespace {

Key control(const QString &group, const char *name, Kind kind, const QVariant &fallback, const QString &widget)
{
    Key key{group, QLatin1String(name), kind, fallback, widget, {}, {}};
    return key;
}

Key radioGroup(const QString &group, const char *name, const char *fallback, const QStringList &words,
               const QStringList &buttons)
{
    Key key{group, QLatin1String(name), Kind::Word, QLatin1String(fallback), QString(), words, buttons};
    return key;
}

Key comboWords(const QString &group, const char *name, const char *fallback, const QStringList &words,
               const QString &comboBox)
{
    Key key{group, QLatin1String(name), Kind::Word, QLatin1String(fallback), comboBox, words, {}};
    return key;
}

void addChannel(QVector<Key> &k, int channel)
{
    const QString n = QString::number(channel);
    const QString g = QStringLiteral("CH") + n;
    k << control(g, "Gain", Kind::Number, 0, QStringLiteral("ch%1GainSlider").arg(n))
      << control(g, "Position", Kind::Number, channel == 1 ? 128 : 32, QStringLiteral("ch%1PositionSlider").arg(n))
      << control(g, "Trace", Kind::Bool, true, QStringLiteral("checkBoxCH%1Trace").arg(n))
      << control(g, "AC", Kind::Bool, false, QStringLiteral("checkBoxCH%1ACDC").arg(n))
      << control(g, "Average", Kind::Bool, false, QStringLiteral("checkBoxCH%1Average").arg(n))
      << control(g, "Invert", Kind::Bool, false, QStringLiteral("checkBoxCH%1Invert").arg(n))
      << control(g, "MathEn", Kind::Bool, false, QStringLiteral("checkBoxCH%1Math").arg(n))
      << radioGroup(g, "Math", "Multiply", {QStringLiteral("Sub"), QStringLiteral("Multiply")},
                    {QStringLiteral("radioButtonCH%1Sub").arg(n), QStringLiteral("radioButtonCH%1Multiply").arg(n)});
}

void addScope(QVector<Key> &k)
{
    const QString logic = QStringLiteral("LOGIC");
    k << control(logic, "Size", Kind::Number, 0, QStringLiteral("chdSizeSlider"))
      << control(logic, "Position", Kind::Number, -96, QStringLiteral("chdPositionSlider"))
      << control(logic, "Trace", Kind::Bool, false, QStringLiteral("checkBoxCHDTrace"))
      << control(logic, "Invert", Kind::Bool, false, QStringLiteral("checkBoxCHDInvert"));
    for (int bit = 0; bit < 8; ++bit) {
        Key key = control(logic, "", Kind::Bool, true, QStringLiteral("checkBoxCHD%1").arg(bit));
        key.name = QStringLiteral("CHD%1En").arg(bit);
        k << key;
    }
    const QString fft = QStringLiteral("FFT");
    k << control(fft, "Position", Kind::Number, 0, QStringLiteral("verticalSliderFFTPosition"))
      << control(fft, "Trace", Kind::Bool, false, QStringLiteral("checkBoxFFTTrace"))
      << control(fft, "IQFFT", Kind::Bool, false, QStringLiteral("checkBoxIQFFT"))
      << control(fft, "LogY", Kind::Bool, false, QStringLiteral("checkBoxLogY"))
      << control(fft, "CH1", Kind::Bool, true, QStringLiteral("checkBoxFFTCH1"))
      << control(fft, "CH2", Kind::Bool, false, QStringLiteral("checkBoxFFTCH2"))
      << radioGroup(fft, "Window", "Rect",
                    {QStringLiteral("Rect"), QStringLiteral("Hamming"), QStringLiteral("Hann"), QStringLiteral("Blackman")},
                    {QStringLiteral("radioButtonRect"), QStringLiteral("radioButtonHamming"),
                     QStringLiteral("radioButtonHann"), QStringLiteral("radioButtonBlackman")});
    const QString display = QStringLiteral("Display");
    k << control(display, "Intensity", Kind::Number, 0, QStringLiteral("intensitySlider"))
      << control(display, "Decay", Kind::Number, 0, QStringLiteral("decaySlider"))
      << control(display, "Vectors", Kind::Bool, true, QStringLiteral("checkBoxVectors"))
      << control(display, "Persistence", Kind::Bool, false, QStringLiteral("checkBoxPersistence"))
      << control(display, "MeterOn", Kind::Bool, true, QStringLiteral("checkBoxmeterondev"));
    const QString cursors = QStringLiteral("Cursors");
    k << control(cursors, "Vertical", Kind::Bool, true, QStringLiteral("checkBoxCursorVertical"))
      << control(cursors, "Horizontal", Kind::Bool, true, QStringLiteral("checkBoxScopeCursorsHorizontal"))
      << comboWords(cursors, "HType", "Automatic",
                    {QStringLiteral("Track"), QStringLiteral("Automatic"), QStringLiteral("Manual")},
                    QStringLiteral("comboBoxScopeCursorsHorizontalType"))
      << comboWords(cursors, "HChannel", "CH1", {QStringLiteral("CH1"), QStringLiteral("CH2")},
                    QStringLiteral("comboBoxScopeCursorsChannel"));
}

void addTrigger(QVector<Key> &k)
{
    const QString g = QStringLiteral("Trigger");
    k << control(g, "Source", Kind::Index, 0, QStringLiteral("comboBoxTrigSource"))
      << control(g, "TAuto", Kind::Real, 0.16384, QStringLiteral("doubleSpinBoxTrigAuto"))
      << control(g, "THold", Kind::Real, 10.0, QStringLiteral("doubleSpinBoxTrigHold"))
      // "Triger" is how normal mode has always been stored.
      << radioGroup(g, "Type", "Free",
                    {QStringLiteral("Free"), QStringLiteral("Triger"), QStringLiteral("Auto"), QStringLiteral("Single")},
                    {QStringLiteral("radioButtonFree"), QStringLiteral("radioButtonNormal"),
                     QStringLiteral("radioButtonAuto"), QStringLiteral("radioButtonSingle")})
      << radioGroup(g, "Mode", "Rising",
                    {QStringLiteral("Rising"), QStringLiteral("Falling"), QStringLiteral("Dual"),
                     QStringLiteral("Positive"), QStringLiteral("Negative"), QStringLiteral("Window")},
                    {QStringLiteral("radioButtonRisingEdge"), QStringLiteral("radioButtonFallingEdge"),
                     QStringLiteral("radioButtonDual"), QStringLiteral("radioButtonPositiveSlope"),
                     QStringLiteral("radioButtonNegativeSlope"), QStringLiteral("radioButtonWindow")});
    // The records of CH1, CH2 and the logic inputs. Levels are sample counts;
    // a position is held to the largest frame here and to the frame in use
    // when its source is selected. The window's first level is its low one,
    // so it starts below the second.
    const struct {
        const char *name;
        int fallback, minimum, maximum;
    } fields[] = {{"TLevel", -4, -125, 125}, {"TWin1Level", -96, -125, 125}, {"TWin2Level", 96, -125, 125},
                  {"TPost", 64, 0, 32767}};
    for (int record = 0; record < 3; ++record) {
        for (const auto &f : fields) {
            Key key = control(g + QStringLiteral("/CH%1Coord").arg(record), f.name, Kind::Number, f.fallback, QString());
            key.minimum = f.minimum;
            key.maximum = f.maximum;
            key.record = record;
            k << key;
        }
    }
    const QString s = QStringLiteral("Sampling");
    k << control(s, "Value", Kind::Number, 6, QStringLiteral("samplingSlider"))
      << control(s, "XY", Kind::Bool, false, QStringLiteral("xyMode"))
      << control(s, "Roll", Kind::Bool, false, QStringLiteral("rollMode"))
      << control(s, "Elastic", Kind::Bool, false, QStringLiteral("elasticMode"));
}

void addMeter(QVector<Key> &k)
{
    k << control(QStringLiteral("Meter"), "Mode", Kind::Index, 0, QStringLiteral("mmTabWidget"));
    const QString g = QStringLiteral("MeterFC");
    QStringList inputs{QStringLiteral("Schmitt"), QStringLiteral("EXT")};
    QStringList source{QStringLiteral("fcR11"), QStringLiteral("fcR10")};
    for (int bit = 7; bit >= 0; --bit) {
        inputs << QString::number(bit);
        source << QStringLiteral("fcR%1").arg(bit);
    }
    QStringList gate;
    for (const QString &button : source)
        gate << button + QStringLiteral("_2");
    k << radioGroup(g, "Source", "EXT", inputs, source) << radioGroup(g, "Gate", "EXT", inputs, gate)
      // "Reriod" is how the period mode has always been stored.
      << radioGroup(g, "Type", "Frequency",
                    {QStringLiteral("Frequency"), QStringLiteral("CountPulses"), QStringLiteral("Reriod"),
                     QStringLiteral("ExternalGate")},
                    {QStringLiteral("radioFreq"), QStringLiteral("radioPulse"), QStringLiteral("radioPeriod"),
                     QStringLiteral("radioExtGate")})
      << control(g, "FastMode", Kind::Bool, false, QStringLiteral("checkBoxFreqFastMode"))
      << radioGroup(g, "GateType", "Pulse", {QStringLiteral("Period"), QStringLiteral("Pulse")},
                    {QStringLiteral("radioFrequencyGatePeriod"), QStringLiteral("radioFrequencyGatePulse")});
}

void addGenerator(QVector<Key> &k)
{
    const QString g = QStringLiteral("AWG");
    k << control(g, "AWGEnable", Kind::Bool, true, QStringLiteral("checkBoxAWGEnable"))
      << radioGroup(g, "Waveform", "Sine",
                    {QStringLiteral("Sine"), QStringLiteral("Triangle"), QStringLiteral("Expo"), QStringLiteral("Square"),
                     QStringLiteral("WhiteNoise"), QStringLiteral("PinkNoise"), QStringLiteral("Constant"),
                     QStringLiteral("Custom")},
                    {QStringLiteral("radioButtonSine"), QStringLiteral("radioButtonTriangle"),
                     QStringLiteral("radioButtonExpo"), QStringLiteral("radioButtonSquare"),
                     QStringLiteral("radioButtonWhiteNoise"), QStringLiteral("radioButtonPinkNoise"),
                     QStringLiteral("radioButtonConstant"), QStringLiteral("radioButtonCustom")})
      // The level's code, which its slider holds (14848 is 1 V); the box beside it shows volts.
      << control(g, "ConstantValue", Kind::Number, 0, QStringLiteral("horizontalSliderConstant"));
    // From 100 000 Hz down to 0.01 Hz; the defaults give 1000 Hz.
    const char *places[] = {"100000", "10000", "1000", "100", "10", "1", "01", "001"};
    for (int d = 0; d < 8; ++d) {
        const QString place = QLatin1String(places[d]);
        Key key = control(g, "", Kind::Digit, d == 2 ? QStringLiteral("1") : QStringLiteral("0"),
                          QStringLiteral("labelFrequencyDigit") + place);
        key.name = QStringLiteral("FDigit") + place;
        key.maximum = d == 0 ? 1 : 9;
        k << key;
    }
    // In the boxes' units: a first start shows the largest amplitude, 2.00 V,
    // and a duty of 50.0 % (code 128).
    k << control(g, "Amplitude", Kind::Real, 2.0, QStringLiteral("doubleSpinBoxAmp"))
      << control(g, "Duty", Kind::Real, 50.0, QStringLiteral("doubleSpinBoxDuty"))
      << control(g, "Offset", Kind::Real, 0.0, QStringLiteral("doubleSpinBoxOffset"));
    const QString sweep = QStringLiteral("AWGSweep");
    k << control(sweep, "Speed", Kind::Number, 64, QStringLiteral("sweepSpeedSlider"))
      << control(sweep, "Active", Kind::Bool, false, QStringLiteral("collapsiblePanelAWGSweep"))
      << radioGroup(sweep, "Type", "Duty",
                    {QStringLiteral("Frequency"), QStringLiteral("Amplitude"), QStringLiteral("Duty"),
                     QStringLiteral("Offset")},
                    {QStringLiteral("radioButtonSweepFrequency"), QStringLiteral("radioButtonSweepAmplitude"),
                     QStringLiteral("radioButtonSweepDutyCycle"), QStringLiteral("radioButtonSweepOffset")})
      << radioGroup(sweep, "Direction", "PingPong",
                    {QStringLiteral("Rising"), QStringLiteral("PingPong"), QStringLiteral("Falling")},
                    {QStringLiteral("radioButtonSweepRising"), QStringLiteral("radioButtonSweepPingPong"),
                     QStringLiteral("radioButtonSweepFalling")})
      << control(sweep, "Start", Kind::Number, 64, QStringLiteral("sweepStartFreqSlider"))
      << control(sweep, "End", Kind::Number, 192, QStringLiteral("sweepEndFreqSlider"));
}

void addSniffer(QVector<Key> &k)
{
    const QString g = QStringLiteral("Sniffer");
    k << radioGroup(g, "Mode", "Single", {QStringLiteral("Normal"), QStringLiteral("Single")},
                    {QStringLiteral("radioButtonSniffNormal"), QStringLiteral("radioButtonSniffSingle")})
      << control(g, "Circular", Kind::Bool, false, QStringLiteral("checkBoxCircular"))
      << control(g, "ASCII", Kind::Bool, false, QStringLiteral("checkBoxASCII"))
      << control(g, "Protocol", Kind::Index, 0, QStringLiteral("protocolTabWidget"));
    const QString spi = QStringLiteral("SnifferSPI");
    k << control(spi, "CPOL", Kind::Index, 0, QStringLiteral("comboBoxCPOL"))
      << control(spi, "CPHA", Kind::Index, 0, QStringLiteral("comboBoxCPHA"))
      << control(spi, "SSINV", Kind::Index, 0, QStringLiteral("comboBoxSniffSSINV"));
    const QString uart = QStringLiteral("SnifferUART");
    k << control(uart, "Baud", Kind::Index, 3, QStringLiteral("comboBoxBaud"))
      << control(uart, "Parity", Kind::Index, 0, QStringLiteral("comboBoxParity"))
      << control(uart, "Stop", Kind::Index, 0, QStringLiteral("comboBoxStopBits"))
      << control(uart, "Data", Kind::Index, 3, QStringLiteral("comboBoxUARTData"))
      << control(uart, "Synchro", Kind::Bool, false, QStringLiteral("checkBoxSynchro"));
    const QString parallel = QStringLiteral("SnifferParallel");
    k << control(parallel, "Strobe", Kind::Index, 0, QStringLiteral("comboBoxSniffParallelStrobe"))
      << control(parallel, "Invert", Kind::Bool, false, QStringLiteral("checkBoxSniffParallelInputInvert"));
    // The acquisition buffer starts at three blocks (768 samples), the size
    // the window is built with.
    const QString buffers = QStringLiteral("Buffers");
    k << control(buffers, "DAC", Kind::Index, 0, QStringLiteral("comboBoxDACBuffer"))
      << control(buffers, "ADC", Kind::Index, 2, QStringLiteral("comboBoxADCBuffer"))
      << control(QString(), "CurrentScopeTab", Kind::Index, 0, QStringLiteral("tabWidget1"));
}

QVector<Key> buildKeys()
{
    QVector<Key> k;
    addChannel(k, 1);
    addChannel(k, 2);
    addScope(k);
    addTrigger(k);
    addMeter(k);
    addGenerator(k);
    addSniffer(k);
    for (Key &key : k)
        key.madePath = key.path();
    return k;
}

QString shown(const QVariant &raw)
{
    const QString text = raw.type() == QVariant::StringList ? raw.toStringList().join(QLatin1Char(',')) : raw.toString();
    return text.size() > 40 ? text.left(40) + QStringLiteral("...") : text;
}

QString fallbackText(const Key &key)
{
    return key.kind == Kind::Bool ? (key.fallback.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                                  : key.fallback.toString();
}

// A number from the store's text: a list (a stored value with a comma) or
// anything that is not a finite number fails.
bool storedNumber(const QVariant &raw, double *number)
{
    if (raw.type() == QVariant::StringList || raw.type() == QVariant::List)
        return false;
    bool ok = false;
    *number = raw.toDouble(&ok);
    return ok && std::isfinite(*number);
}

} // namespace

const QVector<Key> &keys()
{
    static const QVector<Key> all = buildKeys();
    return all;
}

const Key *find(const QString &path)
{
    for (const Key &key : keys()) {
        if (key.path() == path)
            return &key;
    }
    return nullptr;
}

Reading read(const QSettings &store, const Key &key)
{
    Reading reading;
    reading.value = key.kind == Kind::Word ? QVariant(key.words.indexOf(key.fallback.toString())) : key.fallback;
    if (!store.contains(key.path()))
        return reading;
    reading.stored = true;
    const QVariant raw = store.value(key.path());
    // Made only for a value that is not taken: most are.
    const auto quoted = [&] { return QStringLiteral("\"%1\" holds \"%2\"").arg(key.path(), shown(raw)); };
    double number = 0;
    switch (key.kind) {
    case Kind::Number:
    case Kind::Index:
    case Kind::Real:
        if (!storedNumber(raw, &number)) {
            reading.problem = quoted() + QStringLiteral(", not a number: %1 used").arg(fallbackText(key));
        } else if (key.kind == Kind::Real) {
            reading.value = number;
        } else {
            reading.value = int(std::trunc(std::max(double(INT_MIN), std::min(double(INT_MAX), number))));
        }
        break;
    case Kind::Bool: {
        const QString text = raw.toString().trimmed().toLower();
        if (raw.type() == QVariant::Bool)
            reading.value = raw.toBool();
        else if (text == QLatin1String("true") || text == QLatin1String("1"))
            reading.value = true;
        else if (text == QLatin1String("false") || text == QLatin1String("0"))
            reading.value = false;
        else
            reading.problem = quoted() + QStringLiteral(", not true or false: %1 used").arg(fallbackText(key));
        break;
    }
    case Kind::Digit: {
        const QString text = raw.type() == QVariant::StringList ? QString() : raw.toString().trimmed();
        if (text.size() == 1 && text.at(0).isDigit() && text.at(0).unicode() < 128)
            reading.value = text;
        else
            reading.problem = quoted() + QStringLiteral(", not a digit: %1 used").arg(fallbackText(key));
        break;
    }
    case Kind::Word: {
        // Words are matched exactly: "hann" is not "Hann", and selects no
        // button of its own; the default's button is checked instead.
        const int index = raw.type() == QVariant::StringList ? -1 : key.words.indexOf(raw.toString());
        if (index >= 0)
            reading.value = index;
        else
            reading.problem = quoted() + QStringLiteral(", not one of %1: %2 used")
                                           .arg(key.words.join(QStringLiteral(", ")), fallbackText(key));
        break;
    }
    }
    return reading;
}

void fitRange(Reading &reading, const Key &key, double minimum, double maximum)
{
    if (minimum >= maximum && key.kind != Kind::Index)
        return; // no range to hold to
    const auto report = [&](const QString &what) {
        if (reading.stored && reading.problem.isEmpty())
            reading.problem = QStringLiteral("\"%1\" holds %2, outside %3 ... %4: %5")
                                  .arg(key.path(), reading.value.toString(), QString::number(minimum),
                                       QString::number(maximum), what);
    };
    switch (key.kind) {
    case Kind::Number:
    case Kind::Digit: {
        const int value = reading.value.toInt();
        const int held = std::max(int(minimum), std::min(int(maximum), value));
        if (held != value) {
            report(QStringLiteral("held at %1").arg(held));
            reading.value = key.kind == Kind::Digit ? QVariant(QString::number(held)) : QVariant(held);
        }
        break;
    }
    case Kind::Real: {
        const double value = reading.value.toDouble();
        const double held = std::max(minimum, std::min(maximum, value));
        if (held != value) {
            report(QStringLiteral("held at %1").arg(held));
            reading.value = held;
        }
        break;
    }
    case Kind::Index: {
        const int value = reading.value.toInt();
        if (maximum < minimum) {
            reading.value = QVariant(); // nothing to choose from: the control stays as it is
        } else if (value < minimum || value > maximum) {
            report(QStringLiteral("%1 used").arg(fallbackText(key)));
            // A box holding fewer choices than the default needs keeps its last.
            reading.value = std::max(int(minimum), std::min(int(maximum), key.fallback.toInt()));
        }
        break;
    }
    case Kind::Bool:
    case Kind::Word:
        break;
    }
}

void write(QSettings &store, const Key &key, const QVariant &value)
{
    if (key.kind == Kind::Word) {
        const int index = value.toInt();
        if (index >= 0 && index < key.words.size())
            store.setValue(key.path(), key.words.at(index));
        return;
    }
    store.setValue(key.path(), value);
}

} // namespace DeviceSettingsKeys
