// SPDX-License-Identifier: GPL-3.0-only
// The sniffer tab on the virtual bench's test clock, and frames handed to it by hand.
#include "common/windowtest.h"
#include "device/virtual/virtualinstrument.h"
#include "instruments/sniffercontrols.h"

#include <QtTest>

#include <cstring>

namespace {
const QString nak = QStringLiteral("<") + QChar(0x1FB9) + QStringLiteral(">");
// A sniffer frame: header, then every data byte `fill`.
QByteArray snifferFrame(uint16_t number, uint8_t protocol, uint16_t count1, char fill = 0x41)
{
    const char header[] = {'B', char(number), char(number >> 8), char(protocol), char(count1), char(count1 >> 8), char(count1), char(count1 >> 8)};
    return QByteArray(header, 8) + QByteArray(Frames::snifferMinimumLength - 8, fill);
}
// True when the view holds `tokens` hexadecimal bytes, each one more than the last.
bool countsUp(const QPlainTextEdit *view, int tokens)
{
    const QStringList t = view->toPlainText().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool up = t.size() == tokens;
    for (int i = 1; up && i < t.size(); ++i)
        up = t[i].toInt(nullptr, 16) == (t[i - 1].toInt(nullptr, 16) + 1) % 256;
    return up;
}
} // namespace

class TestSnifferWindow : public QObject
{
    Q_OBJECT
    VeltoInterface *w = nullptr;
    Ui::VeltoInterface *ui = nullptr;
    // Bench time passes in the instrument's 50 ms frame steps, each frame shown.
    void pass(int milliseconds)
    {
        LibUsbDevice &usb = w->session()->usb();
        auto reads = [&usb, none = uchar(0)]() mutable { quint64 s = 0; usb.copyData(&none, 0, &s); return s; };
        for (int t = 0; t < milliseconds; t += 50) {
            const quint64 before = reads();
            virtualBench().advanceClock(50000);
            (void)QTest::qWaitFor([&] { return reads() != before && !usb.dataReady; }, 2000);
        }
    }
    void feed(const QByteArray &frame)
    {
        std::memcpy(w->session()->usb().dataBuffer, frame.constData(), size_t(frame.size()));
        w->session()->usb().dataLength = frame.size();
        w->session()->usb().dataReady = true;
        w->sniffer()->sniffDataShow();
    }

private slots:
    void initTestCase() { useVirtualBench(); virtualBench().useTestClock(true); }
    void init()
    {
        w = new VeltoInterface;
        ui = w->form();
        ui->mainTabWidget->setCurrentIndex(2);
        w->show();
    }
    void cleanup() { delete w; }

    void protocolsOnTheBench()
    {
        QVERIFY(connectToBench(*w));
        QVERIFY(virtualBench().configurationEntry(21) == 0 && virtualBench().configurationEntry(22) == 27);
        // Single, checked on a first start, went out with the meter-on-device bit.
        QVERIFY(ui->radioButtonSniffSingle->isChecked() && virtualBench().configurationEntry(10) == 12);
        // Protocol tab; views and what each shows after 400 ms of traffic.
        const std::tuple<int, QVector<QPlainTextEdit *>, QStringList> rows[] = {
            {0, {ui->mosiTextEdit, ui->misoTextEdit}, {"9f 00 00 00 ", "ff ef 40 18 "}},
            {1, {ui->i2cPlainTextEdit, ui->i2cPlainTextEdit},
             {"<Start> <Address:>50<W><A> 00<A> 10<A> \n<Restart> <Address:>50<R><A> 56<A> 53<A> 49<A> 4d" + nak + " <Stop>\n",
              "<Start> <Address:>51<W>" + nak + " <Stop>\n"}},
            {2, {ui->rxTextEdit, ui->txTextEdit}, {"_ _ V S I M   u a r t   l i n e   0 0 0 1 _ _ V", "_ _ O K _ _ O"}}};
        for (const auto &[tab, views, expected] : rows) {
            ui->protocolTabWidget->setCurrentIndex(tab);
            ui->checkBoxASCII->setChecked(tab == 2);
            QTest::mouseClick(ui->startSnifferButton, Qt::LeftButton);
            QVERIFY(w->mainMode() == 1 && virtualBench().snifferRunning() && !ui->comboBoxBaud->isEnabled());
            QCOMPARE(virtualBench().configurationEntry(21), tab);
            pass(400);
            for (int k = 0; k < 2; ++k)
                QVERIFY(views[k]->toPlainText().contains(expected[k]) &&
                        views[k]->verticalScrollBar()->value() == views[k]->verticalScrollBar()->maximum());
            // The fill bar moves while the data comes.
            const int filled = ui->progressBarSnifferBufferFill->value();
            pass(300);
            QVERIFY2(filled > 0 && ui->progressBarSnifferBufferFill->value() > filled, qPrintable(QString::number(tab)));
            // Stop keeps the text; Start clears it.
            QTest::mouseClick(ui->startSnifferButton, Qt::LeftButton);
            QVERIFY(w->mainMode() == 0 && !virtualBench().snifferRunning() && ui->comboBoxBaud->isEnabled());
            QVERIFY(!views[0]->toPlainText().isEmpty());
        }
        // Parallel, Single: the capture stops with a full bar.
        ui->protocolTabWidget->setCurrentIndex(3);
        ui->checkBoxASCII->setChecked(false);
        ui->radioButtonSniffSingle->click();
        QCOMPARE(virtualBench().configurationEntry(10) & 4, 4);
        QTest::mouseClick(ui->startSnifferButton, Qt::LeftButton);
        QVERIFY(ui->plainTextEditParallel->toPlainText().isEmpty());
        pass(600);
        QVERIFY(ui->progressBarSnifferBufferFill->value() == 4095 && countsUp(ui->plainTextEditParallel, 4096));
        // Loop and Circular: once wrapped, the newest byte is last and the view counts up throughout.
        QTest::mouseClick(ui->startSnifferButton, Qt::LeftButton);
        ui->radioButtonSniffNormal->click();
        ui->checkBoxCircular->click();
        QTest::mouseClick(ui->startSnifferButton, Qt::LeftButton);
        pass(1000);
        const QScrollBar *bar = ui->plainTextEditParallel->verticalScrollBar();
        QVERIFY(countsUp(ui->plainTextEditParallel, 4096) && !w->sniffer()->fill().unwrapped1 && bar->maximum() > 0 &&
                bar->value() == bar->maximum());
    }

    void framesByHand()
    {
        MessageCapture log;
        QTest::mouseClick(ui->startSnifferButton, Qt::LeftButton);
        feed(snifferFrame(1, 0, 3));
        QCOMPARE(ui->mosiTextEdit->toPlainText(), QStringLiteral("41 41 41 "));
        // Same number, too short, another type, random bytes: the views stay.
        feed(snifferFrame(1, 0, 5, 0x42));
        feed(snifferFrame(2, 0, 5).left(4617));
        feed(QByteArray(5000, 'A'));
        QByteArray noise(Frames::snifferMinimumLength, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char(i == 0 ? 'B' : (i * 7919) >> 3);
        feed(noise);
        QCOMPARE(ui->mosiTextEdit->toPlainText(), QStringLiteral("41 41 41 "));
        QVERIFY(log.count(QStringLiteral("Sniffer, same data, nothing to do")) == 1 &&
                log.count(QStringLiteral("Sniffer, frame header not valid")) == 1 && log.contains(QStringLiteral("unknown protocol")));
        // Paused frames are consumed: after Continue the same number is old news.
        ui->pauseSnifferButton->click();
        QCOMPARE(ui->pauseSnifferButton->text(), QStringLiteral("Continue"));
        feed(snifferFrame(3, 0, 2));
        ui->pauseSnifferButton->click();
        feed(snifferFrame(3, 0, 2));
        QCOMPARE(ui->mosiTextEdit->toPlainText(), QStringLiteral("41 41 41 "));
        feed(snifferFrame(4, 0, 3000, char(0xe9)));
        QVERIFY(ui->mosiTextEdit->toPlainText().size() == 3 * 2048 && ui->progressBarSnifferBufferFill->value() == 2047);
        ui->misoTextEdit->verticalScrollBar()->setValue(0); // the panes scroll together, in a face with the A with a bar
        QVERIFY(QFontInfo(ui->misoTextEdit->font()).fixedPitch() && QFontMetrics(ui->i2cPlainTextEdit->font()).inFontUcs4(0x1FB9));
        QVERIFY(ui->mosiTextEdit->verticalScrollBar()->value() == 0 && ui->mosiTextEdit->verticalScrollBar()->maximum() > 0);
        ui->checkBoxASCII->click();
        QCOMPARE(ui->mosiTextEdit->toPlainText().left(4), QStringLiteral("\u00e9 \u00e9 "));
        // Clear empties the views and the bar, in Circular mode once a stream
        // has wrapped, and while stopped.
        ui->checkBoxCircular->setChecked(true);
        feed(snifferFrame(5, 0, 1000));
        feed(snifferFrame(6, 0, 10));
        QVERIFY(ui->mosiTextEdit->toPlainText().size() == 2 * 2048 && ui->progressBarSnifferBufferFill->value() == 2047);
        ui->pushButtonSnifferClear->click();
        QVERIFY(ui->mosiTextEdit->toPlainText().isEmpty() && ui->progressBarSnifferBufferFill->value() == 0);
        feed(snifferFrame(7, 0, 3));
        QVERIFY(ui->mosiTextEdit->toPlainText() == QStringLiteral("A A A ") && ui->progressBarSnifferBufferFill->value() == 3);
        QTest::mouseClick(ui->startSnifferButton, Qt::LeftButton);
        ui->pushButtonSnifferClear->click();
        QVERIFY(ui->mosiTextEdit->toPlainText().isEmpty());
    }
};

QTEST_MAIN(TestSnifferWindow)
#include "tst_snifferwindow.moc"
