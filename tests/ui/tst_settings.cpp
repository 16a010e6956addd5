// SPDX-License-Identifier: GPL-3.0-only
#include "ui/about.h"
#include "ui/buildstamp.h"
#include "ui/options.h"
#include "ui/settings.h"
#include "widgets/multimeterdisplayoptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>

#include <memory>
#include <QtTest>

#include <cmath>
#include <functional>

// The four option sets and the name-keyed map the window holds.
struct OptionSets {
    PythonConsoleOptions console;
    ScopeOptions scope;
    MultimeterDisplayOptions meter;
    GlobalOptions global;
    OptionsMap map;
    OptionSets()
    {
        map.insert(&console);
        map.insert(&scope);
        map.insert(&meter);
        map.insert(&global);
    }
};

class ApplyCounter : public QObject
{
    Q_OBJECT
public:
    int count = 0;
public slots:
    void applyModuleConfiguration() { ++count; }
};

class TestSettings : public QObject
{
    Q_OBJECT
private:
    template <typename T> static T *child(QWidget &dialog, const char *name)
    {
        return dialog.findChild<T *>(QString::fromLatin1(name));
    }
    // Clicks a push button with the mouse as the user would: on the dialog
    // shown and exposed, the button visible (QTest delivers a click to a
    // hidden widget too, which proves nothing about the dialog).
    static void press(Settings &dialog, const char *name)
    {
        if (!dialog.isVisible()) {
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        }
        auto *button = child<QPushButton>(dialog, name);
        QVERIFY2(button && button->isVisible(), name);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Runs `check` on the modal dialog once it is up, then closes it.
    static void whenModal(std::function<void(Settings *)> check)
    {
        QTimer::singleShot(0, [check] {
            auto *dialog = qobject_cast<Settings *>(QApplication::activeModalWidget());
            check(dialog);
            if (dialog)
                dialog->close();
        });
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("VeltoTest"));
        QCoreApplication::setApplicationName(QStringLiteral("Velto"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2"));
    }
    void pageChosenByComponent()
    {
        // The component asked for, its row and page; none or an unknown one: the first page.
        const std::tuple<const char *, int, const char *> rows[] = {
            {"PythonConsole", 0, "PythonConsoleSettings"},         {"Oscilloscope", 1, "ScopeSettings"},
            {"MultimeterDisplay", 2, "MultimeterDisplaySettings"}, {"Global", 3, "GlobalSettings"},
            {"", 0, "PythonConsoleSettings"},                      {"Nonsense", 0, "PythonConsoleSettings"}};
        for (const auto &[component, row, page] : rows) {
            OptionSets sets;
            Settings dialog(nullptr, sets.map.data(), QString::fromLatin1(component));
            QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint) && dialog.pageCount() == 4);
            QVERIFY2(dialog.currentRow() == row, component);
            QCOMPARE(QString::fromLatin1(dialog.currentPage()->metaObject()->className()), QString::fromLatin1(page));
            QCOMPARE(child<QLabel>(dialog, "labelConfigurationName")->text(), dialog.optionsAt(row)->getCommonName());
        }
    }
    void mapWithMissingOrWrongEntries()
    {
        ScopeOptions scope;
        GlobalOptions global;
        QVariant wrongType(42);
        QVariant globalVariant = QVariant::fromValue(&global);
        QVariant nullScope = QVariant::fromValue(static_cast<ScopeOptions *>(nullptr));
        QVariant scopeUnderAnotherKey = QVariant::fromValue(&scope);
        QMap<QString, QVariant *> map{{"PythonConsoleOptions", &wrongType}, {"ScopeOptions", &nullScope},
                                      {"MultimeterDisplayOptions", nullptr}, {"GlobalOptions", &globalVariant},
                                      {"Other", &scopeUnderAnotherKey}};
        Settings dialog(nullptr, &map, QStringLiteral("Oscilloscope"));
        QVERIFY(dialog.pageCount() == 1 && dialog.optionsAt(0) == &global);
        QTest::ignoreMessage(QtWarningMsg, "Settings: no option sets to show");
        Settings empty(nullptr, nullptr, QString());
        QVERIFY(empty.pageCount() == 0 && !empty.currentPage());
        QSignalSpy applied(&empty, &Settings::applyRequest);
        press(empty, "pushButtonApply"); // nothing to apply, still reported
        QCOMPARE(applied.count(), 1);
    }
    void cancelLeavesEverySetUnchanged()
    {
        OptionSets sets;
        Settings dialog(nullptr, sets.map.data(), QString());
        QSignalSpy applied(&dialog, &Settings::applyRequest);
        child<QComboBox>(dialog, "comboBoxTheme")->setCurrentIndex(2);
        child<QComboBox>(dialog, "comboBoxExtendPrecision")->setCurrentIndex(4);
        child<QSpinBox>(dialog, "spinBoxDefaultConsoleWidth")->setValue(200);
        press(dialog, "pushButtonCancel");
        QVERIFY(!dialog.isVisible() && applied.isEmpty());
        const OptionSets fresh;
        QCOMPARE(QList<int>({sets.scope.theme, sets.meter.extendPrecision, sets.console.sizeWidthDefault}),
                 QList<int>({fresh.scope.theme, fresh.meter.extendPrecision, fresh.console.sizeWidthDefault}));
    }
    void applyAndOkCopyThePages()
    {
        OptionSets sets;
        Settings dialog(nullptr, sets.map.data(), QStringLiteral("Oscilloscope"));
        QSignalSpy applied(&dialog, &Settings::applyRequest);
        child<QComboBox>(dialog, "comboBoxTheme")->setCurrentIndex(2);
        child<QComboBox>(dialog, "comboBox")->setCurrentIndex(1);
        press(dialog, "pushButtonApply");
        QVERIFY(dialog.isVisible());
        QCOMPARE(QList<int>({applied.count(), sets.scope.theme, sets.scope.logicLabelPosition}), QList<int>({1, 2, 1}));
        // Untouched pages write back what they were given.
        QCOMPARE(sets.meter.foregroundColorName + sets.console.colorName, QStringLiteral("#404040#62f033"));
        child<QComboBox>(dialog, "comboBoxGridStyle")->setCurrentIndex(0);
        child<QCheckBox>(dialog, "checkBoxAppenNewLine")->setChecked(true);
        press(dialog, "pushButtonOk");
        QVERIFY(!dialog.isVisible());
        QCOMPARE(QList<int>({applied.count(), sets.scope.gridStyle, sets.meter.appendNewLine}), QList<int>({2, 0, 1}));
    }
    void callSettingsOpensTheRequestedPage()
    {
        OptionSets sets;
        ApplyCounter window;
        QStringList seen;
        // Applied on the page asked for; without a component the first page, and closing applies nothing.
        for (const QString &component : {QStringLiteral("Oscilloscope"), QString()}) {
            whenModal([&seen, component](Settings *dialog) {
                QVERIFY(dialog && dialog->isVisible());
                seen << QString::fromLatin1(dialog->currentPage()->metaObject()->className());
                if (!component.isEmpty())
                    QTest::mouseClick(dialog->findChild<QPushButton *>("pushButtonApply"), Qt::LeftButton);
            });
            QTest::ignoreMessage(QtDebugMsg, qPrintable("Call settings by: " + component));
            QPointer<Settings> dialog = Settings::callSettings(nullptr, sets.map.data(), component, &window,
                                                               SLOT(applyModuleConfiguration()));
            QCOMPARE(window.count, 1);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(dialog.isNull()); // a closed dialog deletes itself
        }
        QCOMPARE(seen, QStringList({"ScopeSettings", "PythonConsoleSettings"}));
    }
    void pagesWithStoredNonsense()
    {
        OptionSets sets;
        sets.scope.gridStyle = 17;
        sets.scope.theme = -4;
        sets.console.fontSize = 13; // not in the list: the third item
        sets.console.sizeWidthMaximum = 0;
        sets.meter.extendPrecision = 7;
        Settings dialog(nullptr, sets.map.data(), QStringLiteral("Oscilloscope"));
        QCOMPARE(QStringList({child<QComboBox>(dialog, "comboBoxGridStyle")->currentText(),
                              child<QComboBox>(dialog, "comboBoxTheme")->currentText(),
                              child<QComboBox>(dialog, "comboBoxFontSize")->currentText(),
                              child<QComboBox>(dialog, "comboBoxExtendPrecision")->currentText()}),
                 QStringList({"Dots", "Dark", "10", "2"}));
        auto *width = child<QSpinBox>(dialog, "spinBoxDefaultConsoleWidth");
        QCOMPARE(QList<int>({width->minimum(), width->maximum(), width->value()}), QList<int>({40, 999999, 120}));
        press(dialog, "pushButtonApply");
        QCOMPARE(QList<int>({sets.meter.extendPrecision, sets.scope.gridStyle, sets.console.fontSize}),
                 QList<int>({2, 1, 10}));
    }
    void consoleOptionsThroughTheStore()
    {
        PythonConsoleOptions written;
        written.fontSize = 14;
        written.sizeWidth = 88;
        written.restoreSize = true;
        written.writeToSettings(written.getName());
        QSettings().setValue(QStringLiteral("PythonConsole/restoreSize"), QStringLiteral("sometimes"));
        PythonConsoleOptions read;
        read.readFromSettings(QStringLiteral("PythonConsole"));
        QCOMPARE(QList<int>({read.fontSize, read.sizeWidth, read.restoreSize}), QList<int>({14, 88, 0}));
        QSettings().setValue(QStringLiteral("PythonConsole/fontSize"), QStringLiteral("big"));
        read.readFromSettings(QStringLiteral("PythonConsole"));
        QCOMPARE(read.fontSize, 14); // the wrong type keeps the current value
        read.sizeHeightMaximum = 0; // no maximum
        QCOMPARE(QList<int>({read.validateSizeWidth(10), read.validateSizeWidth(5000), read.validateSizeHeight(5000),
                             read.validateSizeHeight(0)}),
                 QList<int>({40, 999, 5000, 1}));
    }
    void aboutBoxAndBuildStamp()
    {
        QCOMPARE(compilationTimeFrom(QStringLiteral("2019-05-12 13:56")), QStringLiteral("1905121356"));
        QCOMPARE(compilationTimeFrom(QStringLiteral("yesterday")), QStringLiteral("0000000000"));
        GlobalOptions options;
        QCOMPARE(child<QLabel>(*std::make_unique<About>(nullptr, &options), "labelVersion")->text(),
                 QStringLiteral("version: 1.2.%1 with Qt %2").arg(buildStamp(), QStringLiteral(QT_VERSION_STR)));
        // The size follows the global factors; factors that are no size leave the default.
        QList<int> widths;
        for (const QPair<float, float> &factors : {qMakePair(1.0f, 1.0f), qMakePair(1.5f, 2.0f), qMakePair(float(NAN), -3.0f)}) {
            options.widthFactor = factors.first;
            options.heightFactor = factors.second;
            About about(nullptr, &options);
            widths << about.minimumWidth() << (factors.second == 2.0f ? about.height() : 0);
        }
        QCOMPARE(widths, QList<int>({560, 0, 840, 842, 560, 0}));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
