// SPDX-License-Identifier: GPL-3.0-only
// Every control of the main window's form says what it does when hovered.
#include "common/windowtest.h"
#include "widgets/multimeterdisplay.h"

#include <QtTest>

class TestTooltips : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useVirtualBench(); virtualBench().setAttached(false); }

    void everyFormControlHasATooltip()
    {
        VeltoInterface window;
        QStringList controls, missing;
        for (QWidget *w : window.findChildren<QWidget *>()) {
            const QString name = w->objectName();
            bool inReadOut = false; // a read-out's own buttons are not the form's, nor the parts Qt builds
            for (QWidget *p = w->parentWidget(); p; p = p->parentWidget())
                inReadOut |= qobject_cast<MultimeterDisplay *>(p) != nullptr;
            if (inReadOut || name.isEmpty() || name.startsWith(QLatin1String("qt_")) || qobject_cast<QTabBar *>(w->parent()))
                continue;
            if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QAbstractSlider *>(w)
                || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSpinBox *>(w)
                || qobject_cast<MultimeterDisplay *>(w) || name.startsWith(QLatin1String("labelFrequencyDigit"))) {
                controls << name;
                if (w->toolTip().trimmed().isEmpty())
                    missing << name;
            }
        }
        // The walk reaches the form's controls, down to the generator's digits.
        QVERIFY(controls.contains(QStringLiteral("samplingSlider")) && controls.contains(QStringLiteral("labelFrequencyDigit001")));
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("no tooltip: ") + missing.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(TestTooltips)
#include "tst_tooltips.moc"
