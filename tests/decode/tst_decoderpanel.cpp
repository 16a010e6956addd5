// SPDX-License-Identifier: GPL-3.0-only
// The Decoders dock on the live window with the bench's bus wiring: what it
// decodes, what it keeps across a restart (and what of a damaged store it
// leaves out), what it refuses, the table's filter and CSV, and the console
// running Python in the same interpreter while the decoders decode.
#include "common/windowtest.h"
#include "console/pythonbridge.h"
#include "scope/annotationrows.h"
#include "scope/annotationtable.h"
#include "scope/decoderpanel.h"

#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>

class TestDecoderPanel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("VELTO_VSIM", "bus");
        useVirtualBench();
    }
    void decodesLiveAndKeepsItsDecoders();
    void damagedStoreAndBadValues();
};

void TestDecoderPanel::decodesLiveAndKeepsItsDecoders()
{
    {
        VeltoInterface w;
        QVERIFY(connectToBench(w, 20));
        w.form()->samplingSlider->setValue(5); // 16 µs a sample
        w.form()->comboBoxADCBuffer->setCurrentIndex(w.form()->comboBoxADCBuffer->count() - 1);
        w.form()->checkBoxCHDTrace->setChecked(true);
        DecoderPanel *panel = w.decoders();
        QVERIFY(panel->addDecoder("spi"));
        QVERIFY(panel->addDecoder("i2c"));
        QVERIFY(panel->addDecoder("eeprom24xx", 1));
        QVERIFY(panel->setOption(2, "chip", "microchip_24lc64"));
        const QStringList wires{"clk", "mosi", "miso", "cs", "scl", "sda"};
        for (int k = 0; k < wires.size(); ++k)
            panel->setChannel(k / 4, wires[k], 2 + k);
        panel->setChannel(0, "miso", 3); // MOSI and MISO swapped: MOSI reads FF EF 40 18
        panel->setChannel(0, "mosi", 4);
        auto decoded = [&](const QString &text) {
            for (const Decode::Annotation &a : panel->latest().decoding.annotations)
                if (a.texts.value(0) == text)
                    return true;
            return false;
        };
        QVERIFY(QTest::qWaitFor([&] { return decoded("EF") && decoded("9F"); }, 10000));
        // The same interpreter: the console imports the decoders' module, and
        // a statement that keeps Python busy does not stop the decoding.
        QVERIFY(PythonBridge::initialize());
        const quint64 before = panel->runner()->counts().decoded;
        const PythonBridge::OutputSink quiet = [](const QString &, bool) {};
        QCOMPARE(PythonBridge::runStatements("import sigrokdecode, time\nt = time.time()\n"
                                             "while time.time() - t < 1.5: pass",
                                             "<test>", quiet),
                 PythonBridge::Outcome::Done);
        QVERIFY(panel->runner()->counts().decoded > before + 3);

        // The table: filled as it is shown, filtered by decoder and searched, and its CSV.
        AnnotationTable *table = w.annotationTable();
        w.show();
        w.findChild<QPushButton *>("decoderTableButton")->click();
        QVERIFY(table->dock()->findChild<QTableWidget *>("annotationTable")->rowCount() > 0);
        const int all = table->shownEntries().size();
        auto *decoderFilter = table->dock()->findChild<QComboBox *>("annotationDecoderFilter");
        decoderFilter->setCurrentIndex(3); // 3: 24xx EEPROM
        table->dock()->findChild<QLineEdit *>("annotationSearch")->setText("sequential");
        const QVector<int> shown = table->shownEntries();
        QVERIFY(!shown.isEmpty() && shown.size() < all);
        for (int k : shown)
            QCOMPARE(table->entries()[k].decoderName, QStringLiteral("24xx EEPROM"));
        const QList<QByteArray> csv = table->csv().split('\n');
        QCOMPARE(csv.first(), QByteArray("frame,time_s,start_sample,end_sample,decoder,row,text"));
        QVERIFY(csv.value(1).endsWith(",24xx EEPROM,Operations,\"Sequential random read (addr=0010, 4 bytes): 56 53 49 4D\""));
        w.close();
    }
    // Remembered: the same decoders, channels and options after a restart.
    VeltoInterface again;
    const QVector<Decode::DecoderSetting> kept = again.decoders()->settings();
    QCOMPARE(kept.size(), 3);
    QCOMPARE(kept[1].channels, (QMap<QString, int>{{"scl", 6}, {"sda", 7}}));
    QCOMPARE(kept[0].channels, (QMap<QString, int>{{"clk", 2}, {"miso", 3}, {"mosi", 4}, {"cs", 5}}));
    QCOMPARE(kept[2].parent, 1);
    QCOMPARE(kept[2].options.value("chip"), QVariant("microchip_24lc64"));
    // Removing I2C takes the EEPROM stacked on it along.
    again.decoders()->removeDecoder(1);
    QCOMPARE(again.decoders()->settings().size(), 1);
}

void TestDecoderPanel::damagedStoreAndBadValues()
{
    QSettings store;
    store.remove("decoders");
    store.beginWriteArray("decoders", 3);
    const char *ids[] = {"uart", "spi", "i2c"};
    const int parents[] = {-1, 5, -1};
    for (int k = 0; k < 3; ++k) {
        store.setArrayIndex(k);
        store.setValue("id", ids[k]);
        store.setValue("stackedOn", parents[k]);
        store.setValue("options", QVariantMap{{"baudrate", "9600"}, {"parity", "sometimes"}});
    }
    store.endArray();
    store.sync();
    MessageCapture log;
    VeltoInterface w;
    DecoderPanel *panel = w.decoders();
    // The entry stacked on a later one, and all after it, are left out and said so;
    // a number kept as text is a number again, a value the option does not take is dropped.
    QCOMPARE(panel->settings().size(), 1);
    QVERIFY(log.contains("stored decoder 1 (\"spi\") is not valid"));
    QCOMPARE(panel->settings()[0].options, (QVariantMap{{"baudrate", 9600LL}}));
    QVERIFY(!panel->setOption(0, "baudrate", "fast"));
    QVERIFY(!panel->setOption(0, "parity", "sometimes"));
    QVERIFY(!panel->addDecoder("nonesuch"));
    QVERIFY(!panel->addDecoder("eeprom24xx")); // nothing speaks I2C to it
    QCOMPARE(panel->settings().size(), 1);
    QCOMPARE(panel->settings()[0].options, (QVariantMap{{"baudrate", 9600LL}}));
}

QTEST_MAIN(TestDecoderPanel)
#include "tst_decoderpanel.moc"
