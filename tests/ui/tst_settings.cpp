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
    // Runs `check` on the modal dialog once it is up.
    static void whenModal(std::function<void(QWidget *)> check)
    {
        QTimer::singleShot(0, [check] {
            QWidget *modal = QApplication::activeModalWidget();
            check(modal);
            if (modal)
                modal->close();
        });
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("VeltoTest"));
        QCoreApplication::setApplicationName(QStringLiteral("Velto"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2"));
    }

    void identities()
    {
        Options base;
        QCOMPARE(base.getName(), QStringLiteral("Set_short_name"));
        QCOMPARE(base.getCommonName(), QStringLiteral("Set common name"));
        QCOMPARE(base.getUiClassName(), QStringLiteral("UiClassName"));
        OptionSets sets;
        QCOMPARE(sets.console.getName(), QStringLiteral("PythonConsole"));
        QCOMPARE(sets.console.getUiClassName(), QStringLiteral("PythonConsoleSettings"));
        QCOMPARE(sets.scope.getName(), QStringLiteral("Oscilloscope"));
        QCOMPARE(sets.scope.getUiClassName(), QStringLiteral("ScopeSettings"));
        QCOMPARE(sets.meter.getName(), QStringLiteral("MultimeterDisplay"));
        QCOMPARE(sets.meter.getCommonName(), QStringLiteral("Multimeter display"));
        QCOMPARE(sets.global.getName(), QStringLiteral("Global"));
        QCOMPARE(sets.global.getUiClassName(), QStringLiteral("GlobalSettings"));
        for (Options *set : {static_cast<Options *>(&base), static_cast<Options *>(&sets.console),
                             static_cast<Options *>(&sets.scope), static_cast<Options *>(&sets.meter),
                             static_cast<Options *>(&sets.global)})
            QVERIFY2(!set->getIcon().isNull(), qPrintable(set->getName()));
        QCOMPARE(sets.scope.gridStyle, 1);
        QCOMPARE(sets.global.version, QStringLiteral("1.2"));
        QCOMPARE(sets.global.fontSize, 9);
    }

    void mapIsKeyedByClassWithRegisteredPointers()
    {
        OptionSets sets;
        QMap<QString, QVariant *> *map = sets.map.data();
        QCOMPARE(map->keys(), QStringList({QStringLiteral("GlobalOptions"), QStringLiteral("MultimeterDisplayOptions"),
                                           QStringLiteral("PythonConsoleOptions"), QStringLiteral("ScopeOptions")}));
        for (const char *name : {"PythonConsoleOptions*", "ScopeOptions*", "MultimeterDisplayOptions*", "GlobalOptions*"})
            QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);
        QCOMPARE(map->value(QStringLiteral("ScopeOptions"))->value<ScopeOptions *>(), &sets.scope);
        QCOMPARE(QString::fromLatin1(map->value(QStringLiteral("GlobalOptions"))->typeName()),
                 QStringLiteral("GlobalOptions*"));
    }

    void pageChosenByComponent_data()
    {
        QTest::addColumn<QString>("component");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("page");
        QTest::newRow("console") << QStringLiteral("PythonConsole") << 0 << QStringLiteral("PythonConsoleSettings");
        QTest::newRow("scope") << QStringLiteral("Oscilloscope") << 1 << QStringLiteral("ScopeSettings");
        QTest::newRow("meter") << QStringLiteral("MultimeterDisplay") << 2 << QStringLiteral("MultimeterDisplaySettings");
        QTest::newRow("global") << QStringLiteral("Global") << 3 << QStringLiteral("GlobalSettings");
        QTest::newRow("empty") << QString() << 0 << QStringLiteral("PythonConsoleSettings");
        QTest::newRow("unknown") << QStringLiteral("Nonsense") << 0 << QStringLiteral("PythonConsoleSettings");
    }
    void pageChosenByComponent()
    {
        QFETCH(QString, component);
        QFETCH(int, row);
        QFETCH(QString, page);
        OptionSets sets;
        Settings dialog(nullptr, sets.map.data(), component);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Settings"));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        QCOMPARE(dialog.pageCount(), 4);
        QCOMPARE(dialog.currentRow(), row);
        QVERIFY(dialog.currentPage());
        QCOMPARE(QString::fromLatin1(dialog.currentPage()->metaObject()->className()), page);
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labelConfigurationName"))->text(),
                 dialog.optionsAt(row)->getCommonName());
    }

    void selectingARowShowsItsPage()
    {
        OptionSets sets;
        Settings dialog(nullptr, sets.map.data(), QString());
        auto *list = dialog.findChild<QListWidget *>(QStringLiteral("listWidget"));
        QCOMPARE(list->count(), 4);
        QCOMPARE(list->item(2)->text(), QStringLiteral("Multimeter display"));
        list->setCurrentRow(2);
        QCOMPARE(dialog.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex(), 2);
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labelConfigurationName"))->text(),
                 QStringLiteral("Multimeter display"));
    }

    void mapWithMissingOrWrongEntries()
    {
        ScopeOptions scope;
        GlobalOptions global;
        QVariant wrongType(42);
        QVariant scopeUnderGlobalKey = QVariant::fromValue(&scope);
        QVariant globalVariant = QVariant::fromValue(&global);
        QVariant nullScope = QVariant::fromValue(static_cast<ScopeOptions *>(nullptr));
        QMap<QString, QVariant *> map;
        map.insert(QStringLiteral("PythonConsoleOptions"), &wrongType);
        map.insert(QStringLiteral("ScopeOptions"), &nullScope);
        map.insert(QStringLiteral("MultimeterDisplayOptions"), nullptr);
        map.insert(QStringLiteral("GlobalOptions"), &globalVariant);
        map.insert(QStringLiteral("Other"), &scopeUnderGlobalKey);
        Settings dialog(nullptr, &map, QStringLiteral("Oscilloscope"));
        QCOMPARE(dialog.pageCount(), 1);
        QCOMPARE(dialog.optionsAt(0), static_cast<Options *>(&global));
        QCOMPARE(dialog.currentRow(), 0);

        QTest::ignoreMessage(QtWarningMsg, "Settings: no option sets to show");
        Settings empty(nullptr, nullptr, QString());
        QCOMPARE(empty.pageCount(), 0);
        QVERIFY(!empty.currentPage());
        empty.findChild<QPushButton *>(QStringLiteral("pushButtonApply"))->click(); // nothing to apply, no crash
    }

    void cancelLeavesEverySetUnchanged()
    {
        OptionSets sets;
        Settings dialog(nullptr, sets.map.data(), QString());
        QSignalSpy applied(&dialog, &Settings::applyRequest);
        dialog.findChild<QComboBox *>(QStringLiteral("comboBoxTheme"))->setCurrentIndex(2);
        dialog.findChild<QComboBox *>(QStringLiteral("comboBoxGridStyle"))->setCurrentIndex(3);
        dialog.findChild<QComboBox *>(QStringLiteral("comboBoxExtendPrecision"))->setCurrentIndex(4);
        dialog.findChild<QCheckBox *>(QStringLiteral("checkBoxAppendLabel"))->setChecked(false);
        dialog.findChild<QSpinBox *>(QStringLiteral("spinBoxDefaultConsoleWidth"))->setValue(200);
        dialog.findChild<QCheckBox *>(QStringLiteral("checkBoxRestoreSize"))->setChecked(true);
        dialog.show();
        dialog.findChild<QPushButton *>(QStringLiteral("pushButtonCancel"))->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(applied.count(), 0);
        const OptionSets fresh;
        QCOMPARE(sets.scope.theme, fresh.scope.theme);
        QCOMPARE(sets.scope.gridStyle, fresh.scope.gridStyle);
        QCOMPARE(sets.meter.extendPrecision, fresh.meter.extendPrecision);
        QCOMPARE(sets.meter.appendLabel, fresh.meter.appendLabel);
        QCOMPARE(sets.meter.valueFontFamily, fresh.meter.valueFontFamily);
        QCOMPARE(sets.meter.foregroundColorName, fresh.meter.foregroundColorName);
        QCOMPARE(sets.console.sizeWidthDefault, fresh.console.sizeWidthDefault);
        QCOMPARE(sets.console.restoreSize, fresh.console.restoreSize);
        QCOMPARE(sets.console.fontFamily, fresh.console.fontFamily);
        QCOMPARE(sets.console.fontSize, fresh.console.fontSize);
    }

    void applyAndOkCopyThePages()
    {
        OptionSets sets;
        Settings dialog(nullptr, sets.map.data(), QStringLiteral("Oscilloscope"));
        QSignalSpy applied(&dialog, &Settings::applyRequest);
        dialog.show();
        dialog.findChild<QComboBox *>(QStringLiteral("comboBoxTheme"))->setCurrentIndex(2);
        dialog.findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(1);
        dialog.findChild<QPushButton *>(QStringLiteral("pushButtonApply"))->click();
        QCOMPARE(applied.count(), 1);
        QCOMPARE(sets.scope.theme, 2);
        QCOMPARE(sets.scope.logicLabelPosition, 1);
        QVERIFY(dialog.isVisible());
        // Untouched pages write back what they were given.
        QCOMPARE(sets.meter.foregroundColorName, QStringLiteral("#404040"));
        QCOMPARE(sets.meter.valueFontFamily, QStringLiteral("Cantarell"));
        QCOMPARE(sets.console.colorName, QStringLiteral("#62f033"));

        dialog.findChild<QComboBox *>(QStringLiteral("comboBoxGridStyle"))->setCurrentIndex(0);
        dialog.findChild<QCheckBox *>(QStringLiteral("checkBoxAppenNewLine"))->setChecked(true);
        dialog.findChild<QPushButton *>(QStringLiteral("pushButtonOk"))->click();
        QCOMPARE(applied.count(), 2);
        QCOMPARE(sets.scope.gridStyle, 0);
        QCOMPARE(sets.meter.appendNewLine, true);
        QVERIFY(!dialog.isVisible());
    }

    void callSettingsOpensTheRequestedPage()
    {
        OptionSets sets;
        ApplyCounter window;
        QString seenPage;
        whenModal([&seenPage](QWidget *modal) {
            auto *dialog = qobject_cast<Settings *>(modal);
            QVERIFY(dialog);
            seenPage = QString::fromLatin1(dialog->currentPage()->metaObject()->className());
            dialog->findChild<QPushButton *>(QStringLiteral("pushButtonApply"))->click();
        });
        QTest::ignoreMessage(QtDebugMsg, "Call settings by: PythonConsole");
        QPointer<Settings> dialog = Settings::callSettings(nullptr, sets.map.data(), QStringLiteral("PythonConsole"),
                                                           &window, SLOT(applyModuleConfiguration()));
        QCOMPARE(seenPage, QStringLiteral("PythonConsoleSettings"));
        QCOMPARE(window.count, 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog.isNull()); // a closed dialog deletes itself

        whenModal([&seenPage](QWidget *modal) {
            auto *dialog = qobject_cast<Settings *>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->currentRow(), 0);
            seenPage = QString::fromLatin1(dialog->currentPage()->metaObject()->className());
        });
        Settings::callSettings(nullptr, sets.map.data(), QString(), &window, SLOT(applyModuleConfiguration()));
        QCOMPARE(seenPage, QStringLiteral("PythonConsoleSettings"));
        QCOMPARE(window.count, 1);
    }

    void scopePageWithStoredNonsense()
    {
        OptionSets sets;
        sets.scope.gridStyle = 17;
        sets.scope.theme = -4;
        Settings dialog(nullptr, sets.map.data(), QStringLiteral("Oscilloscope"));
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("comboBoxGridStyle"))->currentText(), QStringLiteral("Dots"));
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("comboBoxTheme"))->currentText(), QStringLiteral("Dark"));
    }

    void consolePageLimits()
    {
        OptionSets sets;
        sets.console.fontSize = 13; // not in the list: the third item
        sets.console.sizeWidthMaximum = 0;
        Settings dialog(nullptr, sets.map.data(), QStringLiteral("PythonConsole"));
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("comboBoxFontSize"))->currentText(), QStringLiteral("10"));
        auto *width = dialog.findChild<QSpinBox *>(QStringLiteral("spinBoxDefaultConsoleWidth"));
        QCOMPARE(width->maximum(), 999999);
        QCOMPARE(width->minimum(), 40);
        QCOMPARE(width->value(), 120);
    }

    void meterPageExtendDigitsOutsideTheList()
    {
        OptionSets sets;
        sets.meter.extendPrecision = 7;
        Settings dialog(nullptr, sets.map.data(), QStringLiteral("MultimeterDisplay"));
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("comboBoxExtendPrecision"))->currentText(),
                 QStringLiteral("2"));
        dialog.findChild<QPushButton *>(QStringLiteral("pushButtonApply"))->click();
        QCOMPARE(sets.meter.extendPrecision, 2);
    }

    void consoleOptionsThroughTheStore()
    {
        PythonConsoleOptions written;
        written.fontSize = 14;
        written.sizeWidth = 88;
        written.restoreSize = true;
        written.colorName = QStringLiteral("#abcdef");
        written.writeToSettings(written.getName());
        PythonConsoleOptions read;
        read.readFromSettings(QStringLiteral("PythonConsole"));
        QCOMPARE(read.fontSize, 14);
        QCOMPARE(read.sizeWidth, 88);
        QCOMPARE(read.restoreSize, true);
        QCOMPARE(read.colorName, QStringLiteral("#abcdef"));
        QCOMPARE(read.backgroundColorName, QStringLiteral("#000000"));

        {
            QSettings store;
            store.setValue(QStringLiteral("PythonConsole/fontSize"), QStringLiteral("big"));
            store.setValue(QStringLiteral("PythonConsole/restoreSize"), QStringLiteral("sometimes"));
        }
        PythonConsoleOptions damaged;
        damaged.readFromSettings(QStringLiteral("PythonConsole"));
        QCOMPARE(damaged.fontSize, 10);
        QCOMPARE(damaged.restoreSize, false);
        QCOMPARE(damaged.sizeWidth, 88);

        QCOMPARE(damaged.validateSizeWidth(10), 40);
        QCOMPARE(damaged.validateSizeWidth(5000), 999);
        damaged.sizeHeightMaximum = 0;
        QCOMPARE(damaged.validateSizeHeight(5000), 5000);
        QCOMPARE(damaged.validateSizeHeight(0), 1);
    }

    void buildStamp()
    {
        QCOMPARE(compilationTimeFrom(QStringLiteral("2019-05-12 13:56")), QStringLiteral("1905121356"));
        QCOMPARE(compilationTimeFrom(QStringLiteral("yesterday")), QStringLiteral("0000000000"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{10}$")).match(compilationTime()).hasMatch());
        QVERIFY(compilationTime() != QStringLiteral("0000000000"));
    }

    void everyPageFitsTheDialog()
    {
        OptionSets sets;
        Settings dialog(nullptr, sets.map.data(), QString());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QString dir = qEnvironmentVariable("VELTO_SCREENSHOT_DIR");
        auto *list = dialog.findChild<QListWidget *>(QStringLiteral("listWidget"));
        for (int row = 0; row < list->count(); ++row) {
            list->setCurrentRow(row);
            QTest::qWait(10);
            QWidget *page = dialog.currentPage();
            QVERIFY(page->width() >= page->minimumSizeHint().width());
            QVERIFY(page->height() >= page->minimumSizeHint().height());
            // Every list entry reads in full.
            QVERIFY(list->sizeHintForColumn(0) <= list->viewport()->width());
            if (!dir.isEmpty())
                QVERIFY(dialog.grab().save(QStringLiteral("%1/settings-%2.png").arg(dir).arg(row)));
        }
        if (!dir.isEmpty()) {
            About about(&dialog, &sets.global);
            about.show();
            QVERIFY(QTest::qWaitForWindowExposed(&about));
            QVERIFY(about.grab().save(dir + QStringLiteral("/about.png")));
        }
    }

    void aboutBox()
    {
        GlobalOptions options;
        About about(nullptr, &options);
        QCOMPARE(about.windowTitle(), QStringLiteral("Velto - About"));
        QVERIFY(!(about.windowFlags() & Qt::WindowContextHelpButtonHint));
        const QString version = about.findChild<QLabel *>(QStringLiteral("labelVersion"))->text();
        QCOMPARE(version, QStringLiteral("version: 1.2.%1 with Qt %2").arg(compilationTime(), QStringLiteral(QT_VERSION_STR)));
        const QString licence = about.findChild<QPlainTextEdit *>(QStringLiteral("plainTextEditLicence"))->toPlainText();
        QVERIFY(licence.contains(QStringLiteral("GNU General Public License"), Qt::CaseInsensitive));
        QVERIFY(about.findChild<QPlainTextEdit *>(QStringLiteral("plainTextEditLicence"))->isReadOnly());
        QVERIFY(!QPixmap(QStringLiteral(":/icons/app-name.png")).isNull());
        QCOMPARE(about.minimumWidth(), 560);

        options.widthFactor = 1.5f;
        options.heightFactor = 2.0f;
        About wide(nullptr, &options);
        QCOMPARE(wide.minimumWidth(), 840);
        QCOMPARE(wide.height(), 842);
        options.widthFactor = NAN;
        options.heightFactor = -3.0f;
        About damaged(nullptr, &options);
        QCOMPARE(damaged.minimumWidth(), 560);
    }

    void aboutCloseForm()
    {
        GlobalOptions options;
        About about(nullptr, &options);
        bool wasUp = false;
        QTimer::singleShot(0, [&] {
            wasUp = about.isVisible();
            about.closeForm();
        });
        about.exec();
        QVERIFY(wasUp);
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
