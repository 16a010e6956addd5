#include "ui/about.h"
#include "ui/buildstamp.h"
#include "ui/options.h"
#include "ui/settings.h"
#include "widgets/multimeterdisplayoptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
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

    void pageChosenByComponent_data()
    {
        QTest::addColumn<QString>("component");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("page");
        QTest::newRow("console") << "PythonConsole" << 0 << "PythonConsoleSettings";
        QTest::newRow("scope") << "Oscilloscope" << 1 << "ScopeSettings";
        QTest::newRow("meter") << "MultimeterDisplay" << 2 << "MultimeterDisplaySettings";
        QTest::newRow("global") << "Global" << 3 << "GlobalSettings";
        QTest::newRow("empty") << "" << 0 << "PythonConsoleSettings";
        QTest::newRow("unknown") << "Nonsense" << 0 << "PythonConsoleSettings";
    }
    void pageChosenByComponent()
    {
        QFETCH(QString, component);
        QFETCH(int, row);
        QFETCH(QString, page);
        OptionSets sets;
        Settings dialog(nullptr, sets.map.data(), component);
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        QCOMPARE(dialog.pageCount(), 4);
        QCOMPARE(dialog.currentRow(), row);
        QCOMPARE(QString::fromLatin1(dialog.currentPage()->metaObject()->className()), page);
        QCOMPARE(child<QLabel>(dialog, "labelConfigurationName")->text(), dialog.optionsAt(row)->getCommonName());
        // Selecting another row shows its page.
        child<QListWidget>(dialog, "listWidget")->setCurrentRow(2);
        QCOMPARE(child<QStackedWidget>(dialog, "stackedWidget")->currentIndex(), 2);
        QCOMPARE(child<QLabel>(dialog, "labelConfigurationName")->text(), QStringLiteral("Multimeter display"));
    }

    void mapWithMissingOrWrongEntries()
    {
        ScopeOptions scope;
        GlobalOptions global;
        QVariant wrongType(42);
        QVariant globalVariant = QVariant::fromValue(&global);
        QVariant nullScope = QVariant::fromValue(static_cast<ScopeOptions *>(nullptr));
        QVariant scopeUnderAnotherKey = QVariant::fromValue(&scope);
        QMap<QString, QVariant *> map;
        map.insert(QStringLiteral("PythonConsoleOptions"), &wrongType);
        map.insert(QStringLiteral("ScopeOptions"), &nullScope);
        map.insert(QStringLiteral("MultimeterDisplayOptions"), nullptr);
        map.insert(QStringLiteral("GlobalOptions"), &globalVariant);
        map.insert(QStringLiteral("Other"), &scopeUnderAnotherKey);
        Settings dialog(nullptr, &map, QStringLiteral("Oscilloscope"));
        QCOMPARE(dialog.pageCount(), 1);
        QCOMPARE(dialog.optionsAt(0), static_cast<Options *>(&global));
        QCOMPARE(dialog.currentRow(), 0);

        QTest::ignoreMessage(QtWarningMsg, "Settings: no option sets to show");
        Settings empty(nullptr, nullptr, QString());
        QCOMPARE(empty.pageCount(), 0);
        QVERIFY(!empty.currentPage());
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
        child<QComboBox>(dialog, "comboBoxGridStyle")->setCurrentIndex(3);
        child<QComboBox>(dialog, "comboBoxExtendPrecision")->setCurrentIndex(4);
        child<QCheckBox>(dialog, "checkBoxAppendLabel")->setChecked(false);
        child<QSpinBox>(dialog, "spinBoxDefaultConsoleWidth")->setValue(200);
        child<QCheckBox>(dialog, "checkBoxRestoreSize")->setChecked(true);
        press(dialog, "pushButtonCancel");
        QVERIFY(!dialog.isVisible());
        QCOMPARE(applied.count(), 0);
        const OptionSets fresh;
        QCOMPARE(QList<int>({sets.scope.theme, sets.scope.gridStyle, sets.meter.extendPrecision,
                             sets.console.sizeWidthDefault, sets.meter.appendLabel, sets.console.restoreSize}),
                 QList<int>({fresh.scope.theme, fresh.scope.gridStyle, fresh.meter.extendPrecision,
                             fresh.console.sizeWidthDefault, fresh.meter.appendLabel, fresh.console.restoreSize}));
    }

    void applyAndOkCopyThePages()
    {
        OptionSets sets;
        Settings dialog(nullptr, sets.map.data(), QStringLiteral("Oscilloscope"));
        QSignalSpy applied(&dialog, &Settings::applyRequest);
        child<QComboBox>(dialog, "comboBoxTheme")->setCurrentIndex(2);
        child<QComboBox>(dialog, "comboBox")->setCurrentIndex(1);
        press(dialog, "pushButtonApply");
        QCOMPARE(applied.count(), 1);
        QCOMPARE(sets.scope.theme, 2);
        QCOMPARE(sets.scope.logicLabelPosition, 1);
        QVERIFY(dialog.isVisible());
        // Untouched pages write back what they were given.
        QCOMPARE(sets.meter.foregroundColorName, QStringLiteral("#404040"));
        QCOMPARE(sets.console.colorName, QStringLiteral("#62f033"));
        child<QComboBox>(dialog, "comboBoxGridStyle")->setCurrentIndex(0);
        child<QCheckBox>(dialog, "checkBoxAppenNewLine")->setChecked(true);
        press(dialog, "pushButtonOk");
        QCOMPARE(applied.count(), 2);
        QCOMPARE(sets.scope.gridStyle, 0);
        QCOMPARE(sets.meter.appendNewLine, true);
        QVERIFY(!dialog.isVisible());
    }

    void callSettingsOpensTheRequestedPage()
    {
        OptionSets sets;
        ApplyCounter window;
        QStringList seen;
        whenModal([&seen](Settings *dialog) {
            QVERIFY(dialog && dialog->isVisible());
            seen << QString::fromLatin1(dialog->currentPage()->metaObject()->className());
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonApply")), Qt::LeftButton);
        });
        QTest::ignoreMessage(QtDebugMsg, "Call settings by: Oscilloscope");
        QPointer<Settings> dialog = Settings::callSettings(nullptr, sets.map.data(), QStringLiteral("Oscilloscope"),
                                                           &window, SLOT(applyModuleConfiguration()));
        QCOMPARE(seen, QStringList{QStringLiteral("ScopeSettings")});
        QCOMPARE(window.count, 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog.isNull()); // a closed dialog deletes itself

        // Without a component the first page; closing applies nothing.
        whenModal([&seen](Settings *dialog) {
            QVERIFY(dialog && dialog->isVisible());
            seen << QString::fromLatin1(dialog->currentPage()->metaObject()->className());
        });
        QTest::ignoreMessage(QtDebugMsg, "Call settings by: ");
        Settings::callSettings(nullptr, sets.map.data(), QString(), &window, SLOT(applyModuleConfiguration()));
        QCOMPARE(seen, QStringList({"ScopeSettings", "PythonConsoleSettings"}));
        QCOMPARE(window.count, 1);
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
        QCOMPARE(child<QComboBox>(dialog, "comboBoxGridStyle")->currentText(), QStringLiteral("Dots"));
        QCOMPARE(child<QComboBox>(dialog, "comboBoxTheme")->currentText(), QStringLiteral("Dark"));
        QCOMPARE(child<QComboBox>(dialog, "comboBoxFontSize")->currentText(), QStringLiteral("10"));
        auto *width = child<QSpinBox>(dialog, "spinBoxDefaultConsoleWidth");
        QCOMPARE(QList<int>({width->minimum(), width->maximum(), width->value()}), QList<int>({40, 999999, 120}));
        QCOMPARE(child<QComboBox>(dialog, "comboBoxExtendPrecision")->currentText(), QStringLiteral("2"));
        press(dialog, "pushButtonApply");
        QCOMPARE(sets.meter.extendPrecision, 2);
        QCOMPARE(sets.scope.gridStyle, 1);
        QCOMPARE(sets.console.fontSize, 10);
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
        QCOMPARE(QList<int>({read.validateSizeWidth(10), read.validateSizeWidth(5000)}), QList<int>({40, 999}));
        read.sizeHeightMaximum = 0;
        QCOMPARE(QList<int>({read.validateSizeHeight(5000), read.validateSizeHeight(0)}), QList<int>({5000, 1}));
    }

    void aboutBoxAndBuildStamp()
    {
        QCOMPARE(compilationTimeFrom(QStringLiteral("2019-05-12 13:56")), QStringLiteral("1905121356"));
        QCOMPARE(compilationTimeFrom(QStringLiteral("yesterday")), QStringLiteral("0000000000"));
        GlobalOptions options;
        QCOMPARE(child<QLabel>(*std::make_unique<About>(nullptr, &options), "labelVersion")->text(),
                 QStringLiteral("version: 1.2.%1 with Qt %2").arg(compilationTime(), QStringLiteral(QT_VERSION_STR)));
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
