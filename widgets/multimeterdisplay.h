// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QFont>
#include <QElapsedTimer>
#include <QMap>
#include <QPointer>
#include <QWidget>

class BarGraph;
class ClickableLabel;
class MultimeterDisplayOptions;
class QBoxLayout;
class QTimer;
class QFrame;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QVBoxLayout;
class SteadyCell;

// The numeric read-out of the scope, generator and meter pages: one quantity
// as a large number with an SI-prefixed unit, with optional extremes, relative
// base, accuracy, range arrows, alarm colouring, bar graph and buttons.
class MultimeterDisplay : public QWidget
{
    Q_OBJECT
    // What a script reads through the toolkit: display.property("value").
    Q_PROPERTY(double value READ getValue)
    Q_PROPERTY(QString unit READ getUnit)
public:
    explicit MultimeterDisplay(QWidget *parent = nullptr);
    ~MultimeterDisplay() override;

    // Configuration
    void setUnit(const QString &unit);
    void setUnitPower(int power);
    void setPrecision(int precision);
    void setLabel(const QString &text);
    void setValueFont(const QString &family, int size);
    void setValueFontSize(int size);
    void setValueFontFamily(const QString &family);
    void setLabelFont(const QString &family, int size);
    void setLabelFontSize(int size);
    void setColor(const QString &colour);
    void setBackgroundColor(const QString &colour);
    void setRange(double min, double max);
    void enableCheckRange(bool enable);
    void setAccuracy(double absolute, const QString &relative);
    void setAccuracy(double absolute, double relativePercent);
    void setAccuracyVisible(bool visible);
    void enableExtreme(bool enable);
    void setExtreme(double min, double max);
    void clearExtreme();
    void setExtendedPrecision(int digits);
    void enableExtendedPrecision(bool enable);
    void enableOffset(bool enable, double base);
    void setOffsetBase(double base);
    void setAlarm(double criticalLow, double warningLow, double warningHigh, double criticalHigh);
    void enableAlarm(bool enable);
    void setAlarmLevel(int level);
    int readAlarm() const { return alarmLevel; }
    void setHold(bool hold);
    void setButtonsVisible(bool visible);
    void enableButtons(bool enable);
    void enableBargraph(bool enable);
    void enableContexMenu(bool enable);
    void setStretch(int label, int value, int unit, int accuracy);
    void connectOptions(MultimeterDisplayOptions *options, const QObject *receiver, const char *settingsSlot,
                        const char *applySignal);

    // Readings faster than a person can read are taken in (extremes, range
    // and alarm follow every one) but shown at most once per `ms`; 0 shows
    // every reading at once. The newest reading is always shown in the end.
    void setRefreshInterval(int ms);
    // A reading taken but not yet shown goes on the display now.
    void showPending();

    // Values
    void setValue(double value);
    void setNaN();
    // What the display shows for no value ("NaN" unless set).
    void setNaNText(const QString &text);
    void setInfinity();
    // No value to show: "—" in place of the number, and `why` as the tooltip.
    // The value reads NaN, as with setNaN(). The next setValue() ends it.
    void setNoReading(const QString &why);
    // A mark before the number (">" for a true value above the one shown,
    // as an over-range reading has) and why, as the tooltip; an empty mark
    // takes it away. It stays over the values that follow until changed.
    void setMark(const QString &mark, const QString &why);
    QString shownText() const;

    // State, for the owner and for copying
    double getValue() const { return value; }
    QString getUnit() const { return unit; }
    int getUnitPower() const { return unitPower; }
    int getPrecision() const { return precision; }
    double getOffsetBase() const { return offsetBase; }
    bool isOffsetEnabled() const { return offsetEnabled; }
    bool isHold() const { return hold; }
    bool isInfinite() const { return infinite; }
    bool isNotANumber() const { return notANumber; }
    double getExtremeMin() const { return extremeMin; }
    double getExtremeMax() const { return extremeMax; }
    int getRangeState() const { return rangeState; }
    int getExtendDigits() const { return extendDigits; }
    QString currentBackgroundColor() const;

    static QString valueToString(double value, int power, int precision);
    static QString prefix(int power);
    // The range arrow pixmap size for a target size (the first stock size that is large enough).
    static int rangePixmapSize(int target);

    // The context menu as it would open now; the caller owns it.
    QMenu *createContextMenu();

signals:
    void rangeExceeded(int state);
    void configurationRequest(QString component);

public slots:
    void toolButtonHoldChanged();
    void toolButtonClearChanged();
    void toolButtonExtendChanged();
    void toolButtonOffsetChanged();
    void editOffsetBase();
    void onLineEditBaseReturnPressed();
    void onLineEditBaseEditingFinished();
    void showContextMenu(const QPoint &position);
    void copyAsText();
    void copyAsDouble();
    void copyAsImage();
    void callSettings();
    void applyConfiguration();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshValuePaced();
    void buildTopRow();
    void buildCentralRow();
    void buildBottomRow();
    static void preparePowers();
    QString prefixedUnit() const;
    int shownPrecision() const;
    QString formatted(double quantity) const;
    void refreshValue();
    void refreshToolTip();
    void refreshUnit();
    void refreshExtremes();
    void refreshAccuracy();
    void refreshOffsetBase();
    void refreshBackground();
    void refreshRangeArrows();
    void refreshStretch();
    void refreshRetention();
    void setRangeState(int state);
    void evaluateAlarm(double quantity);
    void scaleLayout();
    void loadRangePixmap(QSize size);

    static QMap<int, QString> powers;

    double value = 0;
    int refreshInterval = 0;
    QTimer *refreshTimer = nullptr;
    bool refreshPending = false;
    QElapsedTimer sinceRefresh;
    QString unit;
    int unitPower = 0;
    int precision = 1;
    bool infinite = false;
    bool notANumber = false;
    bool extremeEnabled = false;
    bool extremeFixed = false;
    double extremeMin = 0;
    double extremeMax = 0;
    bool checkRange = false;
    double rangeMin = -1e25;
    double rangeMax = 1e25;
    int rangeState = 0;
    bool extendEnabled = false;
    int extendDigits = 2;
    double accuracyAbsolute = 0;
    double accuracyRelative = 0;
    bool accuracyVisible = false;
    bool offsetEnabled = false;
    double offsetBase = 0;
    bool alarmEnabled = false;
    bool alarmForced = false;
    int alarmLevel = 0;
    double alarmCriticalLow = -1e25;
    double alarmWarningLow = -1e24;
    double alarmWarningHigh = 1e24;
    double alarmCriticalHigh = 1e25;
    bool hold = false;
    QString foregroundColor;
    QString backgroundColor;
    QString warningColor = QStringLiteral("#f6f278");
    QString criticalColor = QStringLiteral("#f6b0b0");
    bool appendLabel = true;
    bool appendNewLine = true;
    bool buttonsEnabled = false;
    bool bargraphEnabled = false;
    bool contextMenuEnabled = false;
    int stretch[4] = {30, 50, 15, 10};
    QFont valueFont;
    QFont labelFont;
    QFont baseFont;
    QString infinityText;
    QString nanText;
    QString noReadingWhy;
    QString mark;
    QString markWhy;
    // The tooltip of its own, shown again once no reason replaces it.
    QString ownToolTip;
    bool ownToolTipKept = false;
    QPointer<MultimeterDisplayOptions> options;

    QHBoxLayout *layout;
    QLabel *labelLabel;
    QFrame *output;
    QVBoxLayout *layoutOutput;
    QHBoxLayout *layoutTop;
    QLabel *labelValueMin;
    ClickableLabel *labelOffsetBase;
    QLabel *labelValueMax;
    QHBoxLayout *layoutCentral;
    QVBoxLayout *layoutIndicator;
    QLabel *labelRangeOver;
    QLabel *labelRangeIn;
    QLabel *labelRangeBelow;
    QLabel *labelValue;
    QLabel *labelUnit;
    SteadyCell *valueCell;
    SteadyCell *unitCell;
    QLabel *labelAccuracy;
    QVBoxLayout *layoutBottom;
    BarGraph *bargraph;
    QHBoxLayout *layoutBottomButtons;
    QPushButton *toolButtonHold;
    QPushButton *toolButtonClear;
    QPushButton *toolButtonExtend;
    QPushButton *toolButtonOffset;
    QLineEdit *lineEditBase;
};
