// SPDX-License-Identifier: GPL-3.0-only
// The colour themes on the real window: the pens each theme puts on the
// graphs, the custom theme dialog that changes nothing until "Apply", and what
// "Apply" keeps for the next start. The dialog's store, stored colours that
// cannot be read included, is tried without the window in tst_customtheme.
#include "common/windowtest.h"
#include "ui/scopesettings.h"
#include "ui/customtheme.h"

#include <qcustomplot.h>

#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace
{
QPushButton *colourButton(CustomTheme *dialog, const QString &name)
{
    for (QPushButton *button : dialog->findChildren<QPushButton *>())
        if (button->text() == name)
            return button;
    return nullptr;
}
} // namespace

// Every picture of a channel is drawn in the hue of its legend swatch: the
// live trace, its history at any intensity, its spectrum, and its reference,
// which is faded towards the background to tell it from the live trace.
static void checkChannelColoursAgree(VeltoInterface &window)
{
    const ScopeGraphs &g = window.scopePlot()->graphs();
    const QColor background = window.scopePlot()->background().color();
    QLabel *swatches[2] = {window.form()->ch1ColorLabel, window.form()->ch2ColorLabel};
    QCPGraph *traces[2] = {g.ch1, g.ch2};
    QCPGraph *references[2] = {g.ch1Reference, g.ch2Reference};
    for (int ch = 0; ch < 2; ++ch) {
        const QColor trace = traces[ch]->pen().color();
        QVERIFY(swatches[ch]->styleSheet().contains(trace.name()));
        for (const QCPGraph *same : {g.decay[ch][0], g.decay[ch][8], g.fft[ch], references[ch]})
            QCOMPARE(same->pen().color().hue(), trace.hue());
        const QColor reference = references[ch]->pen().color();
        QVERIFY(reference != trace);
        QVERIFY(qAbs(reference.lightness() - background.lightness()) < qAbs(trace.lightness() - background.lightness()));
    }
    // Each logic bit has a colour of its own, far from the others' and the
    // channels', which its label and its swatch in the legend share.
    const auto apart = [](const QColor &a, const QColor &b) {
        return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) >= 90;
    };
    for (int bit = 0; bit < 8; ++bit) {
        const QColor colour = g.logic[bit]->pen().color();
        for (const QColor &other : {g.ch1->pen().color(), g.ch2->pen().color(), background})
            QVERIFY2(apart(colour, other), qPrintable(colour.name()));
        for (int next = bit + 1; next < 8; ++next)
            QVERIFY2(apart(colour, g.logic[next]->pen().color()), qPrintable(colour.name()));
        QCOMPARE(window.scopePlot()->items().logicLabels[bit]->color(), colour);
        const auto *swatch = window.findChild<QLabel *>(QStringLiteral("logicSwatch%1").arg(bit));
        QVERIFY(swatch && swatch->styleSheet().contains(colour.name()));
    }
}

class TestThemeWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useVirtualBench(); }
    void init() { QSettings().clear(); }
    void darkAndLightPens()
    {
        VeltoInterface window;
        auto *scope = window.scopePlot();
        const ScopeGraphs &g = scope->graphs();
        // Dark at start: bits in reds, filled down to their baselines at alpha 35.
        QCOMPARE(QList<QColor>({g.ch1->pen().color(), g.ch2->pen().color(), scope->background().color()}),
                 QList<QColor>({QColor(75, 229, 28), Qt::red, Qt::black}));
        for (int bit = 0; bit < 8; ++bit) {
            const QColor colour = g.logic[bit]->pen().color();
            QCOMPARE(g.logic[bit]->pen().widthF(), 1.5);
            QCOMPARE(g.logic[bit]->channelFillGraph(), g.logicBase[bit]);
            QCOMPARE(g.logic[bit]->brush().color().rgb(), colour.rgb());
            QCOMPARE(g.logic[bit]->brush().color().alpha(), 35);
            QCOMPARE(g.logicBase[bit]->pen().color().alpha(), 35);
            QCOMPARE(g.logicReference[bit]->pen().color(), QColor(64, 128, 255));
        }
        QCOMPARE(scope->items().labelDeltaTime->color(), QColor(QStringLiteral("#4be51c")));
        const QPen grid = scope->plot()->xAxis->grid()->pen();
        QVERIFY(grid.style() == Qt::DotLine && grid.color() == QColor(140, 140, 140));
        QCOMPARE(window.form()->ch2ColorLabel->styleSheet(),
                 QStringLiteral("QLabel { background-color : #ff0000; }"));
        checkChannelColoursAgree(window);

        scope->displayThemeChanged(1);
        const QColor lightBit7 = g.logic[7]->pen().color();
        QCOMPARE(g.logicBase[7]->pen().color(), lightBit7);
        QCOMPARE(g.ch2->pen().color(), QColor(Qt::red));
        checkChannelColoursAgree(window);
        // Times in the theme's label colour, levels in their channel's.
        QCOMPARE(QList<QColor>({scope->background().color(), scope->plot()->yAxis2->basePen().color(),
                                scope->plot()->yAxis->grid()->pen().color(),
                                scope->items().labelDeltaTime->color(), scope->items().labelVoltA->color()}),
                 QList<QColor>({Qt::white, Qt::black, QColor(140, 140, 140), Qt::red, g.ch1->pen().color()}));
        // Decay graphs take the theme's hue at the intensity slider's lightness.
        for (int k = 0; k < 9; ++k)
            QCOMPARE(g.decay[0][k]->pen().color().alpha(), 255);

        // A theme number that does not exist changes no colour.
        MessageCapture log;
        scope->displayThemeChanged(7);
        QCOMPARE(g.logic[7]->pen().color(), lightBit7);
        QCOMPARE(scope->background().color(), QColor(Qt::white));
        QVERIFY(log.contains(QStringLiteral("Theme 7")));
    }
    void customWaitsForApplyAndIsKept()
    {
        VeltoInterface window;
        const ScopeGraphs &g = window.scopePlot()->graphs();
        CustomTheme *dialog = window.scopePlot()->customThemeDialog();
        window.scopePlot()->displayThemeChanged(2);
        QVERIFY(dialog->isVisible());
        // Nothing changes on the plot until "Apply": the CH1 reference stays a
        // faded CH1 green, where the custom default is red.
        const QColor darkReference = g.ch1Reference->pen().color();
        QCOMPARE(darkReference.hue(), g.ch1->pen().color().hue());

        // "BIT 3 REF" made green: only the bit-3 reference colour changes.
        dialog->chooseColour = [](const QColor &) { return QColor(Qt::green); };
        colourButton(dialog, QStringLiteral("BIT 3 REF"))->click();
        QCOMPARE(g.logicReference[3]->pen().color(), QColor(64, 128, 255));
        QCOMPARE(g.ch1Reference->pen().color(), darkReference);
        colourButton(dialog, QStringLiteral("Apply"))->click();
        QVERIFY(!dialog->isVisible());
        for (int bit = 0; bit < 8; ++bit) {
            QCOMPARE(g.logicReference[bit]->pen().color(), bit == 3 ? QColor(Qt::green) : QColor(64, 128, 255));
            QCOMPARE(g.logic[bit]->pen().color(), CustomColors().colorAt(QStringLiteral("BIT %1").arg(bit)));
        }
        // The custom defaults: CH2 red, each reference its channel's colour faded.
        QCOMPARE(g.ch2->pen().color(), QColor(Qt::red));
        QCOMPARE(g.ch1Reference->pen().color().hue(), g.ch1->pen().color().hue());
        QCOMPARE(g.ch2Reference->pen().color().hue(), g.ch2->pen().color().hue());

        // Options applied again leave the dialog closed; Custom picked again on
        // the settings page opens it, although Custom is on the plot already.
        window.scopeOptions().theme = 2;
        emit window.applyConfigurationRequest();
        QVERIFY(!dialog->isVisible());
        ScopeSettings page(nullptr, &window.scopeOptions());
        QComboBox *themes = page.findChild<QComboBox *>(QStringLiteral("comboBoxTheme"));
        QCOMPARE(themes->currentIndex(), 2);
        emit themes->activated(2);
        page.applyOptions();
        emit window.applyConfigurationRequest();
        QVERIFY(dialog->isVisible());
        QVERIFY(!window.scopeOptions().editCustomTheme);

        // Reopened, changed and cancelled: the plot keeps the applied colours.
        dialog->chooseColour = [](const QColor &) { return QColor(Qt::yellow); };
        colourButton(dialog, QStringLiteral("CH1"))->click();
        colourButton(dialog, QStringLiteral("Cancel"))->click();
        QCOMPARE(g.ch1->pen().color(), QColor(75, 229, 28));

        // Back to a built-in theme and custom again: the stored colours return.
        window.scopePlot()->displayThemeChanged(1);
        QCOMPARE(g.logicReference[3]->pen().color(), QColor(Qt::blue));
        // The zero and trigger markers take the channel's colour of the theme.
        const ScopeItems &items = window.scopePlot()->items();
        QCOMPARE(items.zeroHandle[0]->pixmap().toImage().pixelColor(13, 8), g.ch1->pen().color());
        QCOMPARE(items.triggerMarker->pixmap().toImage().pixelColor(6, 6), g.ch1->pen().color());
        window.scopePlot()->displayThemeChanged(2);
        QCOMPARE(dialog->colors()->colorAt(QStringLiteral("BIT 3 REF")), QColor(Qt::green));
        colourButton(dialog, QStringLiteral("Apply"))->click();
        QCOMPARE(g.logicReference[3]->pen().color(), QColor(Qt::green));
        QCOMPARE(window.scopePlot()->background().color(), QColor(Qt::black));
    }
    // The decay colours come from the theme the plot shows, not from an option
    // that names another theme but has not been applied.
    void intensityFollowsTheThemeOnThePlot()
    {
        VeltoInterface window;
        const ScopeGraphs &g = window.scopePlot()->graphs();
        window.form()->intensitySlider->setValue(3);
        const QColor shown[2] = {g.decay[0][1]->pen().color(), g.decay[1][1]->pen().color()};
        window.scopeOptions().theme = 1;
        window.form()->intensitySlider->setValue(4);
        window.form()->intensitySlider->setValue(3);
        QVERIFY(g.decay[0][1]->pen().color() == shown[0] && g.decay[1][1]->pen().color() == shown[1]);
    }
    void customThemeAtStart()
    {
        // A custom theme chosen in an earlier run is drawn at start, without
        // asking for its colours again.
        {
            QSettings store;
            store.setValue(QStringLiteral("theme"), 2);
            store.setValue(QStringLiteral("isThemeSet"), 509);
            CustomColors colours;
            colours.setColor(QStringLiteral("CH1"), QColor(10, 20, 30));
            colours.setColor(QStringLiteral("BACKGROUND"), QColor(250, 250, 240));
            colours.save(store);
        }
        VeltoInterface window;
        const ScopeGraphs &g = window.scopePlot()->graphs();
        QCOMPARE(g.ch1->pen().color(), QColor(10, 20, 30));
        QCOMPARE(window.scopePlot()->background().color(), QColor(250, 250, 240));
        QCoreApplication::processEvents();
        // The custom colours are on the plot already: starting does not open the dialog.
        QVERIFY(!window.scopePlot()->customThemeDialog()->isVisible());
    }
};

QTEST_MAIN(TestThemeWindow)
#include "tst_themewindow.moc"
