// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QIcon>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariant>

class QSettings;

// What every option set tells the settings dialog about itself: its short name
// (also its settings group and the key a caller uses to pick its page), the
// text of its list entry, the class of its page and the icon of its entry.
class Options : public QObject
{
    Q_OBJECT
public:
    explicit Options(QObject *parent = nullptr) : QObject(parent) {}
    ~Options() override = default;

    virtual QString getName() const { return QStringLiteral("Set_short_name"); }
    virtual QString getCommonName() const { return QStringLiteral("Set common name"); }
    virtual QString getUiClassName() const { return QStringLiteral("UiClassName"); }
    virtual QIcon getIcon() const { return QIcon(QStringLiteral(":/icons/item_unknown.png")); }
};

// How the oscilloscope plot is presented. The device settings store the three
// numbers under the group "Oscilloscope".
class ScopeOptions : public Options
{
    Q_OBJECT
public:
    explicit ScopeOptions(QObject *parent = nullptr) : Options(parent) {}

    QString getName() const override { return QStringLiteral("Oscilloscope"); }
    QString getCommonName() const override { return QStringLiteral("Oscilloscope"); }
    QString getUiClassName() const override { return QStringLiteral("ScopeSettings"); }
    QIcon getIcon() const override { return QIcon(QStringLiteral(":/icons/item_oscilloscope.png")); }

    int gridStyle = 1;          // 0 no grid, 1 dots, 2 lines, 3 full
    int logicLabelPosition = 0; // 0 left, 1 right
    int theme = 0;              // 0 dark, 1 light, 2 custom
    // Set when the user picks Custom on the settings page: the next apply
    // opens the custom theme dialog even when Custom is already on the plot.
    // Not stored.
    bool editCustomTheme = false;
};

// Settings that belong to no single instrument. The factors scale the About box.
class GlobalOptions : public Options
{
    Q_OBJECT
public:
    explicit GlobalOptions(QObject *parent = nullptr) : Options(parent) {}

    QString getName() const override { return QStringLiteral("Global"); }
    QString getCommonName() const override { return QStringLiteral("Global"); }
    QString getUiClassName() const override { return QStringLiteral("GlobalSettings"); }
    QIcon getIcon() const override { return QIcon(QStringLiteral(":/icons/item_global.png")); }

    QString version = QStringLiteral("1.2");
    QString fontFamily = QStringLiteral("Courier");
    int fontSize = 9;
    float heightFactor = 1.0f;
    float widthFactor = 1.0f;
};

// Look and size of the Python console window.
class PythonConsoleOptions : public Options
{
    Q_OBJECT
public:
    explicit PythonConsoleOptions(QObject *parent = nullptr);

    QString getName() const override { return QStringLiteral("PythonConsole"); }
    QString getCommonName() const override { return QStringLiteral("Python console"); }
    QString getUiClassName() const override { return QStringLiteral("PythonConsoleSettings"); }
    QIcon getIcon() const override { return QIcon(QStringLiteral(":/icons/item_console.png")); }

    void writeToSettings(const QString &group) const;
    void readFromSettings(const QString &group);
    int validateSizeWidth(int columns) const;
    int validateSizeHeight(int rows) const;

    QString fontFamily;
    int fontSize = 10;
    int sizeWidthMinimum = 40;
    int sizeWidthDefault = 120;
    int sizeWidthMaximum = 999; // 0: no maximum
    int sizeHeightMinimum = 1;
    int sizeHeightDefault = 20;
    int sizeHeightMaximum = 999; // 0: no maximum
    int sizeWidth = 0;
    int sizeHeight = 0;
    bool restoreSize = false;
    QString colorName = QStringLiteral("#62f033");
    QString backgroundColorName = QStringLiteral("#000000");
};

Q_DECLARE_METATYPE(ScopeOptions *)
Q_DECLARE_METATYPE(GlobalOptions *)
Q_DECLARE_METATYPE(PythonConsoleOptions *)

// Registers the option set pointer types under their own names
// ("ScopeOptions*" and so on) so that variants holding them can be told apart.
void registerOptionTypes();

// Readers for values from the settings store that fall back to the current
// value when the stored one is absent or of a type that does not convert; the
// key is logged in that case. The store must already be inside the group.
int readSettingsInt(QSettings &store, const QString &key, int current);
double readSettingsDouble(QSettings &store, const QString &key, double current);
bool readSettingsBool(QSettings &store, const QString &key, bool current);
QString readSettingsColorName(QSettings &store, const QString &key, const QString &current);
QString readSettingsText(QSettings &store, const QString &key, const QString &current);

// The window's name-keyed map of option sets: keys are the class names
// ("ScopeOptions", ...), each value a variant holding a pointer to the set.
// The holder owns the variants; the sets stay the caller's.
class OptionsMap
{
public:
    OptionsMap();
    ~OptionsMap();
    OptionsMap(const OptionsMap &) = delete;
    OptionsMap &operator=(const OptionsMap &) = delete;

    template <typename T> void insert(T *set)
    {
        const QString key = QString::fromLatin1(T::staticMetaObject.className());
        delete map.take(key);
        map.insert(key, new QVariant(QVariant::fromValue(set)));
    }

    QMap<QString, QVariant *> *data() { return &map; }

private:
    QMap<QString, QVariant *> map;
};
