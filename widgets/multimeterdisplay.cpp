// SPDX-License-Identifier: GPL-3.0-only
#include "widgets/multimeterdisplay.h"

#include "widgets/bargraph.h"
#include "widgets/clickablelabel.h"
#include "widgets/multimeterdisplayoptions.h"
#include "widgets/steadycell.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QDoubleValidator>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

QMap<int, QString> MultimeterDisplay::powers;

namespace {

// Accepts the decimal comma as well as the point: users type the base with
// whichever their keyboard gives them.
class BaseValidator : public QDoubleValidator
{
public:
    explicit BaseValidator(QObject *parent) : QDoubleValidator(parent)
    {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
        setLocale(c);
    }
    State validate(QString &input, int &position) const override
    {
        QString text = input;
        text.replace(QLatin1Char(','), QLatin1Char('.'));
        return QDoubleValidator::validate(text, position);
    }
};

const char *buttonStyle =
    "QPushButton { width: 100px;  height: 15px; min-height: 15px; padding-top: 1px;  padding-bottom: 1px; }"
    "QPushButton { font-weight: bold; border: none; background-color: rgba(200,200,200,40); color: #202020; } "
    "QPushButton:checked,QPushButton:pressed {font-weight: bold; border: none; background-color: #5fba7d; "
    "color: #f4f4f4;} QPushButton:disabled {font-weight: bold; border: none; background-color: "
    "rgba(200,200,200,50); color: rgba(90,90,90,50);}";

QLabel *makeLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

void MultimeterDisplay::preparePowers()
{
    if (!powers.isEmpty())
        return;
    powers = {{24, QStringLiteral("Y")},  {21, QStringLiteral("Z")},  {18, QStringLiteral("E")},
              {15, QStringLiteral("P")},  {12, QStringLiteral("T")},  {9, QStringLiteral("G")},
              {6, QStringLiteral("M")},   {3, QStringLiteral("k")},   {2, QStringLiteral("h")},
              {1, QStringLiteral("da")},  {0, QString()},             {-1, QStringLiteral("d")},
              {-2, QStringLiteral("c")},  {-3, QStringLiteral("m")},  {-6, QString(QChar(0x00B5))},
              {-9, QStringLiteral("n")},  {-12, QStringLiteral("p")}, {-15, QStringLiteral("f")},
              {-18, QStringLiteral("a")}, {-21, QStringLiteral("z")}, {-24, QStringLiteral("y")}};
}

QString MultimeterDisplay::prefix(int power)
{
    preparePowers();
    return powers.value(power);
}

MultimeterDisplay::MultimeterDisplay(QWidget *parent) : QWidget(parent)
{
    preparePowers();
    infinityText = QString(QChar(0x00B1)) + QChar(0x221E) + QStringLiteral("  ");
    nanText = QStringLiteral("NaN  ");
    valueFont = QFont(QStringLiteral("Cantarell"), 11);

    layout = new QHBoxLayout(this);
    layout->setObjectName(QStringLiteral("layout"));
    layout->setContentsMargins(0, 0, 0, 0);
    labelLabel = makeLabel(this, "labelLabel");
    labelLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    labelLabel->setWordWrap(true);
    output = new QFrame(this);
    output->setObjectName(QStringLiteral("output"));
    output->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(labelLabel);
    layout->addWidget(output);

    layoutOutput = new QVBoxLayout(output);
    layoutOutput->setObjectName(QStringLiteral("layoutOutput"));
    layoutOutput->setContentsMargins(4, 2, 4, 2);

    buildTopRow();

    buildCentralRow();

    buildBottomRow();

    layoutOutput->addLayout(layoutTop);
    layoutOutput->addLayout(layoutCentral);
    layoutOutput->addLayout(layoutBottom);

    lineEditBase = new QLineEdit(output);
    lineEditBase->setObjectName(QStringLiteral("lineEditBase"));
    lineEditBase->setValidator(new BaseValidator(lineEditBase));
    lineEditBase->setAlignment(Qt::AlignCenter);
    lineEditBase->hide();
    lineEditBase->installEventFilter(this);

    connect(toolButtonHold, &QPushButton::clicked, this, &MultimeterDisplay::toolButtonHoldChanged);
    connect(toolButtonClear, &QPushButton::clicked, this, &MultimeterDisplay::toolButtonClearChanged);
    connect(toolButtonExtend, &QPushButton::clicked, this, &MultimeterDisplay::toolButtonExtendChanged);
    connect(toolButtonOffset, &QPushButton::clicked, this, &MultimeterDisplay::toolButtonOffsetChanged);
    connect(labelOffsetBase, &ClickableLabel::clicked, this, &MultimeterDisplay::editOffsetBase);
    connect(lineEditBase, &QLineEdit::returnPressed, this, &MultimeterDisplay::onLineEditBaseReturnPressed);
    connect(lineEditBase, &QLineEdit::editingFinished, this, &MultimeterDisplay::onLineEditBaseEditingFinished);
    connect(output, &QWidget::customContextMenuRequested, this, &MultimeterDisplay::showContextMenu);

    labelValueMin->hide();
    labelValueMax->hide();
    labelOffsetBase->hide();
    labelAccuracy->hide();
    labelRangeOver->hide();
    labelRangeIn->hide();
    labelRangeBelow->hide();
    bargraph->hide();
    setButtonsVisible(false);

    setValueFont(valueFont.family(), valueFont.pointSize());
    setLabel(QString());
    refreshUnit();
    refreshValue();
}

// The minimum, the offset base and the maximum above the value.
void MultimeterDisplay::buildTopRow()
{
    layoutTop = new QHBoxLayout();
    layoutTop->setObjectName(QStringLiteral("layoutTop"));
    labelValueMin = makeLabel(output, "labelValueMin");
    labelValueMin->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    labelOffsetBase = new ClickableLabel(output);
    labelOffsetBase->setObjectName(QStringLiteral("labelOffsetBase"));
    labelOffsetBase->setAlignment(Qt::AlignCenter);
    labelOffsetBase->setCursor(Qt::IBeamCursor);
    labelValueMax = makeLabel(output, "labelValueMax");
    labelValueMax->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layoutTop->addWidget(labelValueMin, 1);
    layoutTop->addWidget(labelOffsetBase, 1);
    layoutTop->addWidget(labelValueMax, 1);
}

// The range arrows, the value, its unit and the accuracy.
void MultimeterDisplay::buildCentralRow()
{
    layoutCentral = new QHBoxLayout();
    layoutCentral->setObjectName(QStringLiteral("layoutCentral"));
    layoutIndicator = new QVBoxLayout();
    layoutIndicator->setObjectName(QStringLiteral("layoutIndicator"));
    labelRangeOver = makeLabel(output, "labelRangeOver");
    labelRangeIn = makeLabel(output, "labelRangeIn");
    labelRangeBelow = makeLabel(output, "labelRangeBelow");
    for (QLabel *arrow : {labelRangeOver, labelRangeIn, labelRangeBelow}) {
        arrow->setAlignment(Qt::AlignCenter);
        // The arrows come and go; the number must not jump sideways when they do.
        QSizePolicy policy = arrow->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        arrow->setSizePolicy(policy);
        layoutIndicator->addWidget(arrow);
    }
    labelValue = makeLabel(output, "labelValue");
    labelValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labelUnit = makeLabel(output, "labelUnit");
    labelUnit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    labelAccuracy = makeLabel(output, "labelAccuracy");
    labelAccuracy->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    layoutCentral->addLayout(layoutIndicator);
    // The number and its unit change with every reading: each sits in a
    // cell that keeps the room it has had, so the layouts around stay put.
    valueCell = new SteadyCell(labelValue, output);
    unitCell = new SteadyCell(labelUnit, output);
    layoutCentral->addWidget(valueCell);
    layoutCentral->addWidget(unitCell);
    layoutCentral->addWidget(labelAccuracy);
}

// The bar graph and the Hold, Clear, Extend and Offset buttons.
void MultimeterDisplay::buildBottomRow()
{
    layoutBottom = new QVBoxLayout();
    layoutBottom->setObjectName(QStringLiteral("layoutBottom"));
    layoutBottom->setSpacing(2);
    bargraph = new BarGraph(output);
    bargraph->setObjectName(QStringLiteral("bargraph"));
    bargraph->setMajorTickRising(true);
    layoutBottomButtons = new QHBoxLayout();
    layoutBottomButtons->setObjectName(QStringLiteral("layoutBottomButtons"));
    auto makeButton = [this](const char *name, const QString &text, bool checkable) {
        auto *button = new QPushButton(text, output);
        button->setObjectName(QString::fromLatin1(name));
        button->setMinimumSize(90, 14);
        button->setStyleSheet(QString::fromLatin1(buttonStyle));
        button->setCheckable(checkable);
        button->setFocusPolicy(Qt::NoFocus);
        layoutBottomButtons->addWidget(button);
        return button;
    };
    toolButtonHold = makeButton("toolButtonHold", tr("Hold"), true);
    toolButtonClear = makeButton("toolButtonClear", tr("Clear"), false);
    toolButtonExtend = makeButton("toolButtonExtend", tr("Extend"), true);
    toolButtonOffset = makeButton("toolButtonOffset", tr("Offset"), true);
    layoutBottom->addWidget(bargraph);
    layoutBottom->addLayout(layoutBottomButtons);
}

MultimeterDisplay::~MultimeterDisplay()
{
    // Hiding the base editor while the widget goes away ends its editing and
    // would call back into a display that no longer exists.
    disconnect(lineEditBase, nullptr, this, nullptr);
}

// ---- formatting ----

QString MultimeterDisplay::valueToString(double value, int power, int precision)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    const int decimals = qMax(0, power - precision);
    const double scaled = value / std::pow(10.0, power);
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    // Beyond a dozen integer digits a fixed number stops being readable (and
    // 1e300 would be three hundred of them): such readings go to exponent form.
    if (std::fabs(scaled) >= 1e12)
        return locale.toString(scaled, 'e', 3);
    return locale.toString(scaled, 'f', qMin(decimals, 48));
}

QString MultimeterDisplay::prefixedUnit() const
{
    return powers.value(unitPower) + unit;
}

int MultimeterDisplay::shownPrecision() const
{
    return extendEnabled ? precision - extendDigits : precision;
}

QString MultimeterDisplay::formatted(double quantity) const
{
    return valueToString(quantity, unitPower, shownPrecision());
}

// ---- configuration ----

void MultimeterDisplay::setUnit(const QString &text)
{
    unit = text;
    refreshUnit();
    refreshValue();
}

void MultimeterDisplay::setUnitPower(int power)
{
    power = qBound(-24, power, 24);
    while (!powers.contains(power))
        ++power;
    unitPower = power;
    refreshUnit();
    refreshValue();
}

void MultimeterDisplay::setPrecision(int value_)
{
    precision = qBound(-24, value_, 24);
    refreshValue();
}

void MultimeterDisplay::setLabel(const QString &text)
{
    labelLabel->setText(tr("%1").arg(text));
    labelLabel->setVisible(!text.isEmpty());
    scaleLayout();
}

void MultimeterDisplay::setValueFont(const QString &family, int size)
{
    if (size < 1) {
        qWarning().noquote() << QStringLiteral("Multimeter display: font size %1 ignored").arg(size);
        size = valueFont.pointSize() > 0 ? valueFont.pointSize() : 11;
    }
    valueFont = QFont(family, size);
    labelValue->setFont(valueFont);
    labelUnit->setFont(valueFont);
    valueCell->forgetSizes();
    unitCell->forgetSizes();
    baseFont = QFont(family, qMax(1, int(size * 0.4)));
    for (QWidget *small : {static_cast<QWidget *>(labelValueMin), static_cast<QWidget *>(labelValueMax),
                           static_cast<QWidget *>(labelAccuracy), static_cast<QWidget *>(labelOffsetBase),
                           static_cast<QWidget *>(lineEditBase)})
        small->setFont(baseFont);
    scaleLayout();
}

void MultimeterDisplay::setValueFontSize(int size)
{
    setValueFont(valueFont.family(), size);
}

void MultimeterDisplay::setValueFontFamily(const QString &family)
{
    setValueFont(family, valueFont.pointSize());
}

void MultimeterDisplay::setLabelFont(const QString &family, int size)
{
    if (size < 1)
        size = labelFont.pointSize() > 0 ? labelFont.pointSize() : 9;
    labelFont = QFont(family, size);
    labelLabel->setFont(labelFont);
}

void MultimeterDisplay::setLabelFontSize(int size)
{
    setLabelFont(labelFont.family(), size);
}

void MultimeterDisplay::setColor(const QString &colour)
{
    foregroundColor = colour;
    bargraph->setBarColor(QColor(colour));
    const QString sheet = QStringLiteral("QLabel:enabled {color: %1;}").arg(colour);
    labelValue->setStyleSheet(sheet);
    labelUnit->setStyleSheet(sheet);
}

void MultimeterDisplay::setBackgroundColor(const QString &colour)
{
    backgroundColor = colour;
    refreshBackground();
}

void MultimeterDisplay::setRange(double min, double max)
{
    if (std::isnan(min) || std::isnan(max)) {
        qWarning().noquote() << QStringLiteral("Multimeter display %1: undefined range ignored").arg(labelLabel->text());
        return;
    }
    rangeMin = qMin(min, max);
    rangeMax = qMax(min, max);
    bargraph->setRange(rangeMin, rangeMax);
}

void MultimeterDisplay::enableCheckRange(bool enable)
{
    checkRange = enable;
    if (!enable)
        setRangeState(0);
    refreshRangeArrows();
}

void MultimeterDisplay::setAccuracy(double absolute, const QString &relative)
{
    double percent = accuracyRelative;
    bool ok = false;
    const int ppm = relative.indexOf(QLatin1String("ppm"));
    const int ppb = relative.indexOf(QLatin1String("ppb"));
    const int pct = relative.indexOf(QLatin1Char('%'));
    if (ppm > 0) {
        const double number = relative.left(ppm).trimmed().toDouble(&ok);
        if (ok)
            percent = number / 10000.0;
    } else if (ppb > 0) {
        const double number = relative.left(ppb).trimmed().toDouble(&ok);
        if (ok)
            percent = number / 1e7;
    } else if (pct > 0) {
        const double number = relative.left(pct).trimmed().toDouble(&ok);
        if (ok)
            percent = number;
    }
    if (!ok && !relative.isEmpty())
        qWarning().noquote() << QStringLiteral("Multimeter display: accuracy \"%1\" not understood").arg(relative);
    setAccuracy(absolute, percent);
}

void MultimeterDisplay::setAccuracy(double absolute, double relativePercent)
{
    if (std::isfinite(absolute))
        accuracyAbsolute = std::fabs(absolute);
    if (std::isfinite(relativePercent))
        accuracyRelative = std::fabs(relativePercent);
    refreshAccuracy();
}

void MultimeterDisplay::setAccuracyVisible(bool visible)
{
    accuracyVisible = visible;
    refreshAccuracy();
    refreshStretch();
}

void MultimeterDisplay::enableExtreme(bool enable)
{
    extremeEnabled = enable;
    labelValueMin->setVisible(enable);
    labelValueMax->setVisible(enable);
    refreshRetention();
    if (enable)
        clearExtreme();
}

void MultimeterDisplay::setExtreme(double min, double max)
{
    if (!std::isfinite(min) || !std::isfinite(max))
        return;
    extremeMin = qMin(min, max);
    extremeMax = qMax(min, max);
    extremeFixed = true;
    refreshExtremes();
}

void MultimeterDisplay::clearExtreme()
{
    extremeMin = value;
    extremeMax = value;
    extremeFixed = false;
    refreshExtremes();
}

void MultimeterDisplay::setExtendedPrecision(int digits)
{
    extendDigits = qBound(1, digits, 5);
    refreshValue();
}

void MultimeterDisplay::enableExtendedPrecision(bool enable)
{
    extendEnabled = enable;
    toolButtonExtend->setChecked(enable);
    refreshValue();
}

void MultimeterDisplay::enableOffset(bool enable, double base)
{
    offsetEnabled = enable;
    toolButtonOffset->setChecked(enable);
    if (enable && std::isfinite(base))
        offsetBase = base;
    labelOffsetBase->setVisible(enable);
    if (!enable)
        lineEditBase->hide();
    refreshValue();
}

void MultimeterDisplay::setOffsetBase(double base)
{
    if (!std::isfinite(base))
        return;
    offsetBase = base;
    refreshValue();
}

void MultimeterDisplay::setAlarm(double criticalLow, double warningLow, double warningHigh, double criticalHigh)
{
    alarmCriticalLow = criticalLow;
    alarmWarningLow = warningLow;
    alarmWarningHigh = warningHigh;
    alarmCriticalHigh = criticalHigh;
    if (alarmEnabled && !alarmForced)
        evaluateAlarm(value);
}

void MultimeterDisplay::enableAlarm(bool enable)
{
    alarmEnabled = enable;
    alarmForced = false;
    if (enable)
        evaluateAlarm(value);
    refreshBackground();
}

void MultimeterDisplay::setAlarmLevel(int level)
{
    if (level == -1) {
        alarmEnabled = false;
        alarmForced = false;
        alarmLevel = -1;
    } else {
        alarmEnabled = true;
        alarmForced = true;
        alarmLevel = (level >= 0 && level <= 2) ? level : 3;
    }
    refreshBackground();
}

void MultimeterDisplay::setHold(bool on)
{
    hold = on;
    toolButtonHold->setChecked(on);
}

void MultimeterDisplay::setButtonsVisible(bool visible)
{
    for (QPushButton *button : {toolButtonHold, toolButtonClear, toolButtonExtend, toolButtonOffset}) {
        button->setVisible(visible);
        button->setEnabled(visible);
    }
}

void MultimeterDisplay::enableButtons(bool enable)
{
    buttonsEnabled = enable;
    setButtonsVisible(enable);
    refreshRetention();
}

void MultimeterDisplay::enableBargraph(bool enable)
{
    bargraphEnabled = enable;
    bargraph->setVisible(enable);
    const QPalette palette = output->palette();
    bargraph->setBackgroundColor(palette.color(QPalette::Window));
    bargraph->setBarColor(palette.color(QPalette::WindowText));
    // Explicit colours win over the palette once they are known.
    if (!foregroundColor.isEmpty())
        bargraph->setBarColor(QColor(foregroundColor));
    refreshBackground();
    if (enable)
        bargraph->setValue(value);
}

void MultimeterDisplay::enableContexMenu(bool enable)
{
    contextMenuEnabled = enable;
    output->setContextMenuPolicy(enable ? Qt::CustomContextMenu : Qt::DefaultContextMenu);
}

void MultimeterDisplay::setStretch(int label, int value_, int unit_, int accuracy)
{
    stretch[0] = qMax(0, label);
    stretch[1] = qMax(0, value_);
    stretch[2] = qMax(0, unit_);
    stretch[3] = qMax(0, accuracy);
    refreshStretch();
}

void MultimeterDisplay::connectOptions(MultimeterDisplayOptions *set, const QObject *receiver,
                                       const char *settingsSlot, const char *applySignal)
{
    options = set;
    if (!receiver)
        return;
    if (settingsSlot)
        connect(this, SIGNAL(configurationRequest(QString)), receiver, settingsSlot);
    if (applySignal)
        connect(receiver, applySignal, this, SLOT(applyConfiguration()));
}

// ---- values ----

void MultimeterDisplay::setValue(double v)
{
    if (hold)
        return;
    if (!noReadingWhy.isEmpty()) {
        noReadingWhy.clear();
        refreshToolTip();
    }
    if (std::isfinite(v)) {
        infinite = false;
        notANumber = false;
        if (checkRange) {
            if (v <= rangeMin) {
                v = rangeMin;
                setRangeState(-1);
            } else if (v >= rangeMax) {
                v = rangeMax;
                setRangeState(1);
            } else {
                setRangeState(0);
            }
        }
        if (alarmEnabled && !alarmForced)
            evaluateAlarm(v);
        // The extremes take in the reading now shown, so that the maximum is
        // never below the number next to it.
        if (extremeEnabled && !extremeFixed) {
            extremeMin = qMin(extremeMin, qMin(value, v));
            extremeMax = qMax(extremeMax, qMax(value, v));
        }
        value = v;
    } else if (std::isinf(v)) {
        infinite = true;
        notANumber = false;
    } else {
        notANumber = true;
        infinite = false;
    }
    refreshValuePaced();
}

void MultimeterDisplay::setRefreshInterval(int ms)
{
    refreshInterval = qMax(0, ms);
    if (refreshInterval > 0 && !refreshTimer) {
        refreshTimer = new QTimer(this);
        refreshTimer->setSingleShot(true);
        connect(refreshTimer, &QTimer::timeout, this, &MultimeterDisplay::showPending);
    }
    if (refreshInterval == 0)
        showPending();
}

void MultimeterDisplay::showPending()
{
    if (!refreshPending)
        return;
    refreshPending = false;
    refreshTimer->stop();
    sinceRefresh.start();
    refreshValue();
}

// The first reading after a quiet spell shows at once; those that follow
// within the interval wait for its end, and only the newest of them shows.
void MultimeterDisplay::refreshValuePaced()
{
    if (refreshInterval == 0) {
        refreshValue();
        return;
    }
    if (refreshPending)
        return;
    const qint64 since = sinceRefresh.isValid() ? sinceRefresh.elapsed() : refreshInterval;
    if (since >= refreshInterval) {
        sinceRefresh.start();
        refreshValue();
        return;
    }
    refreshPending = true;
    refreshTimer->start(int(refreshInterval - since));
}

void MultimeterDisplay::setNaN()
{
    setValue(std::numeric_limits<double>::quiet_NaN());
}

void MultimeterDisplay::setNaNText(const QString &text)
{
    nanText = text + QStringLiteral("  ");
    if (notANumber)
        labelValue->setText(nanText);
}

void MultimeterDisplay::setInfinity()
{
    setValue(std::numeric_limits<double>::infinity());
}

void MultimeterDisplay::setNoReading(const QString &why)
{
    if (hold)
        return;
    setValue(std::numeric_limits<double>::quiet_NaN());
    noReadingWhy = why.isEmpty() ? tr("No reading") : why;
    refreshToolTip();
    if (!refreshPending)
        refreshValue();
}

void MultimeterDisplay::refreshToolTip()
{
    if (!ownToolTipKept) {
        ownToolTip = toolTip();
        ownToolTipKept = true;
    }
    const QString &why = noReadingWhy.isEmpty() ? markWhy : noReadingWhy;
    setToolTip(why.isEmpty() ? ownToolTip : why);
}

void MultimeterDisplay::setMark(const QString &text, const QString &why)
{
    if (text == mark && why == markWhy)
        return;
    mark = text;
    markWhy = text.isEmpty() ? QString() : why;
    refreshToolTip();
    if (!refreshPending)
        refreshValue();
}

QString MultimeterDisplay::shownText() const
{
    return labelValue->text();
}

// ---- refreshing ----

void MultimeterDisplay::refreshValue()
{
    if (notANumber) {
        labelValue->setText(noReadingWhy.isEmpty() ? nanText : QString(QChar(0x2014)));
        return;
    }
    if (infinite)
        labelValue->setText(infinityText);
    else
        labelValue->setText(mark + formatted(offsetEnabled ? value - offsetBase : value));
    refreshExtremes();
    refreshAccuracy();
    refreshOffsetBase();
    if (bargraphEnabled)
        bargraph->setValue(value);
}

void MultimeterDisplay::refreshUnit()
{
    labelUnit->setText(prefixedUnit());
}

void MultimeterDisplay::refreshExtremes()
{
    if (!extremeEnabled)
        return;
    const double base = offsetEnabled ? offsetBase : 0.0;
    labelValueMin->setText(tr("min: ") + formatted(extremeMin - base) + QLatin1Char(' ') + prefixedUnit());
    labelValueMax->setText(tr("max: ") + formatted(extremeMax - base) + QLatin1Char(' ') + prefixedUnit());
}

void MultimeterDisplay::refreshAccuracy()
{
    if (!accuracyVisible) {
        labelAccuracy->hide();
        return;
    }
    const double error = std::fabs(0.01 * accuracyRelative * value) + accuracyAbsolute;
    labelAccuracy->setText(QString(QChar(0x00B1)) + formatted(error) + QLatin1Char(' ') + prefixedUnit());
    labelAccuracy->show();
}

void MultimeterDisplay::refreshOffsetBase()
{
    if (!offsetEnabled)
        return;
    labelOffsetBase->setText(tr("base: ") + formatted(offsetBase) + QLatin1Char(' ') + prefixedUnit());
}

QString MultimeterDisplay::currentBackgroundColor() const
{
    if (alarmEnabled && alarmLevel == 1)
        return warningColor;
    if (alarmEnabled && alarmLevel == 2)
        return criticalColor;
    return backgroundColor;
}

void MultimeterDisplay::refreshBackground()
{
    const QString colour = currentBackgroundColor();
    if (colour.isEmpty()) {
        output->setStyleSheet(QString());
        return;
    }
    // A sheet changed on a frame not yet polished does not reach children that
    // were (their cached rules keep the old colour), so polish the frame first.
    output->ensurePolished();
    output->setStyleSheet(QStringLiteral("background-color: %1;").arg(colour));
    // The veil over the bar follows the face it lies on, alarm colours included.
    bargraph->setBackgroundColor(QColor(colour));
}

void MultimeterDisplay::setRangeState(int state)
{
    if (state == rangeState)
        return;
    rangeState = state;
    refreshRangeArrows();
    emit rangeExceeded(state);
}

void MultimeterDisplay::refreshRangeArrows()
{
    labelRangeBelow->setVisible(checkRange && rangeState == -1);
    labelRangeIn->setVisible(checkRange && rangeState == 0);
    labelRangeOver->setVisible(checkRange && rangeState == 1);
}

void MultimeterDisplay::evaluateAlarm(double quantity)
{
    int level = 0;
    if (quantity < alarmWarningLow || quantity > alarmWarningHigh)
        level = 1;
    if (quantity < alarmCriticalLow || quantity > alarmCriticalHigh)
        level = 2;
    if (level != alarmLevel) {
        alarmLevel = level;
        refreshBackground();
    }
}

void MultimeterDisplay::refreshStretch()
{
    const bool hasCaption = !labelLabel->text().isEmpty();
    const int outputStretch = stretch[1] + stretch[2] + (accuracyVisible ? stretch[3] : 0);
    layout->setStretch(0, hasCaption ? stretch[0] : 0);
    layout->setStretch(1, outputStretch);
    layoutCentral->setStretch(0, int((stretch[1] + stretch[2]) * 0.1));
    layoutCentral->setStretch(1, stretch[1]);
    layoutCentral->setStretch(2, stretch[2]);
    layoutCentral->setStretch(3, stretch[3]);
}

void MultimeterDisplay::refreshRetention()
{
    const bool retain = buttonsEnabled || extremeEnabled;
    for (QWidget *label : {static_cast<QWidget *>(labelValueMin), static_cast<QWidget *>(labelValueMax),
                           static_cast<QWidget *>(labelOffsetBase)}) {
        QSizePolicy policy = label->sizePolicy();
        policy.setRetainSizeWhenHidden(retain);
        label->setSizePolicy(policy);
    }
}

void MultimeterDisplay::scaleLayout()
{
    const QFontMetrics metrics(valueFont);
    const int h = metrics.height();
    const int w = metrics.horizontalAdvance(QLatin1Char('0'));
    layoutOutput->setSpacing(h / 10);
    layoutOutput->setStretch(0, 10);
    layoutOutput->setStretch(1, 50);
    layoutOutput->setStretch(2, 10);
    layoutTop->setSpacing(w / 4);
    layoutCentral->setContentsMargins(w / 2, 0, w / 2, 0);
    layoutCentral->setSpacing(w / 2);
    loadRangePixmap(QSize(w, h));
    layout->setSpacing(labelLabel->text().isEmpty() ? 0 : w);
    refreshStretch();
}

int MultimeterDisplay::rangePixmapSize(int target)
{
    static const int sizes[] = {12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64, 72};
    for (int size : sizes)
        if (size >= target)
            return size;
    return 72;
}

void MultimeterDisplay::loadRangePixmap(QSize size)
{
    const int pixels = rangePixmapSize(int(size.height() * 0.5));
    const QString number = QString::number(pixels);
    labelRangeBelow->setPixmap(QPixmap(QStringLiteral(":/icons/mmd_rangebelow_") + number + QStringLiteral(".png")));
    labelRangeOver->setPixmap(QPixmap(QStringLiteral(":/icons/mmd_rangeover_") + number + QStringLiteral(".png")));
    labelRangeIn->setPixmap(QPixmap(QStringLiteral(":/icons/mmd_rangein.png"))
                                .scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    for (QLabel *arrow : {labelRangeOver, labelRangeIn, labelRangeBelow})
        arrow->setFixedWidth(pixels);
}

// ---- buttons and base editor ----

void MultimeterDisplay::toolButtonHoldChanged()
{
    setHold(toolButtonHold->isChecked());
}

void MultimeterDisplay::toolButtonClearChanged()
{
    clearExtreme();
}

void MultimeterDisplay::toolButtonExtendChanged()
{
    enableExtendedPrecision(toolButtonExtend->isChecked());
}

void MultimeterDisplay::toolButtonOffsetChanged()
{
    enableOffset(toolButtonOffset->isChecked(), value);
}

void MultimeterDisplay::editOffsetBase()
{
    if (!offsetEnabled)
        return;
    const QFontMetrics metrics(baseFont);
    const QFontMetrics valueMetrics(valueFont);
    const int w = valueMetrics.horizontalAdvance(QLatin1Char('0'));
    const int height = qMax(metrics.height() + 6, valueMetrics.height() / 2);
    const int width = qMax(labelOffsetBase->width(), 8 * w);
    const QPoint centre = labelOffsetBase->geometry().center();
    lineEditBase->setGeometry(centre.x() - width / 2, centre.y() - height / 2, width, height);
    lineEditBase->setText(formatted(offsetBase));
    lineEditBase->show();
    lineEditBase->raise();
    lineEditBase->selectAll();
    lineEditBase->setFocus();
}

void MultimeterDisplay::onLineEditBaseReturnPressed()
{
    QString text = lineEditBase->text().trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double typed = text.toDouble(&ok);
    if (!ok || !std::isfinite(typed)) {
        qWarning().noquote() << QStringLiteral("Multimeter display: base \"%1\" is no number, kept %2")
                                    .arg(lineEditBase->text())
                                    .arg(offsetBase);
        lineEditBase->hide();
        return;
    }
    const double base = qBound(rangeMin, typed * std::pow(10.0, unitPower), rangeMax);
    lineEditBase->hide();
    setOffsetBase(base);
}

void MultimeterDisplay::onLineEditBaseEditingFinished()
{
    lineEditBase->hide();
}

bool MultimeterDisplay::eventFilter(QObject *watched, QEvent *event)
{
    // Leaving the editor with half-typed text must not leave it hanging over the display.
    if (watched == lineEditBase && event->type() == QEvent::FocusOut)
        lineEditBase->hide();
    return QWidget::eventFilter(watched, event);
}

// ---- context menu and copying ----

QMenu *MultimeterDisplay::createContextMenu()
{
    auto *menu = new QMenu(this);
    menu->addAction(tr("Copy as text"), this, &MultimeterDisplay::copyAsText);
    menu->addAction(tr("Copy as image"), this, &MultimeterDisplay::copyAsImage);
    menu->addAction(tr("Copy as double"), this, &MultimeterDisplay::copyAsDouble);
    if (options) {
        menu->addSeparator();
        QAction *settings = menu->addAction(QIcon(QStringLiteral(":/icons/menu_settings.png")), tr("&Settings..."),
                                            this, &MultimeterDisplay::callSettings);
        settings->setIconText(tr("Settings..."));
        settings->setShortcut(QKeySequence::Save);
        settings->setShortcutContext(Qt::ApplicationShortcut);
    }
    return menu;
}

void MultimeterDisplay::showContextMenu(const QPoint &position)
{
    if (!contextMenuEnabled)
        return;
    QMenu *menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(output->mapToGlobal(position));
}

void MultimeterDisplay::copyAsText()
{
    showPending();
    QString text;
    if (appendLabel && !labelLabel->text().isEmpty())
        text = labelLabel->text() + QStringLiteral(" = ");
    text += labelValue->text().trimmed();
    if (!labelUnit->text().isEmpty())
        text += QLatin1Char(' ') + labelUnit->text();
    if (appendNewLine)
        text += QLatin1Char('\n');
    QApplication::clipboard()->setText(text);
}

void MultimeterDisplay::copyAsDouble()
{
    QString text;
    if (notANumber)
        text = QStringLiteral("NaN");
    else if (infinite)
        text = QStringLiteral("inf");
    else
        text = valueToString(offsetEnabled ? value - offsetBase : value, 0, shownPrecision());
    if (appendNewLine)
        text += QLatin1Char('\n');
    QApplication::clipboard()->setText(text);
}

void MultimeterDisplay::copyAsImage()
{
    showPending();
    const QPixmap image = appendLabel ? grab() : output->grab();
    QApplication::clipboard()->setPixmap(image);
}

void MultimeterDisplay::callSettings()
{
    if (options)
        emit configurationRequest(options->getName());
}

void MultimeterDisplay::applyConfiguration()
{
    if (!options)
        return;
    setColor(options->foregroundColorName);
    backgroundColor = options->backgroundColorName;
    warningColor = options->warningColorName;
    criticalColor = options->criticalColorName;
    appendLabel = options->appendLabel;
    appendNewLine = options->appendNewLine;
    setValueFont(options->valueFontFamily, valueFont.pointSize());
    setLabelFont(options->labelFontFamily, labelFont.pointSize());
    extendDigits = options->validateExtendPrecision(options->extendPrecision);
    refreshBackground();
    refreshValue();
}
