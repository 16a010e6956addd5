// SPDX-License-Identifier: GPL-3.0-only
// The sniffer tab: options and their entries, start, pause and stop, frame acceptance and the views.
#include "instruments/sniffercontrols.h"

#include "base/logging.h"
#include "core/device/configprotocol.h"
#include "device/devicesession.h"
#include "core/device/frames.h"
#include "scope/channelcontrols.h"
#include "ui/filesaving.h"
#include "ui_veltointerface.h"

#include <QDir>
#include <QFileInfo>
#include <QScrollBar>

using namespace SniffDecoders;

SnifferControls::SnifferControls(Ui::VeltoInterface *ui, DeviceSession *session, ScopeChannels *channels,
                                 QObject *parent)
    : QObject(parent), ui(ui), session(session), channels(channels),
      incoming(LibUsbDevice::bufferSize, '\0')
{
    for (QComboBox *box : {ui->comboBoxBaud, ui->comboBoxUARTData})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &SnifferControls::sendSnifferUSARTControl);
    for (QComboBox *box : {ui->comboBoxParity, ui->comboBoxStopBits, ui->comboBoxCPOL, ui->comboBoxCPHA,
                           ui->comboBoxSniffSSINV})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &SnifferControls::sendSnifferOptionControl);
    // The options follow their controls' state however it was set: a click,
    // a script or the stored settings.
    connect(ui->checkBoxSniffParallelInputInvert, &QCheckBox::toggled, this,
            &SnifferControls::sendSnifferOptionControl);
    connect(ui->checkBoxSynchro, &QCheckBox::toggled, this, [this] {
        sendSnifferOptionControl();
        render();
    });
    connect(ui->comboBoxSniffParallelStrobe, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SnifferControls::sendSnifferStrobeEdge);
    // Loop and Single swap: Single's own change says it once.
    connect(ui->radioButtonSniffSingle, &QRadioButton::toggled, this, &SnifferControls::sendSnifferMode);
    // Circular and ASCII are the host's own: the frame shown is decoded again at once.
    connect(ui->checkBoxCircular, &QCheckBox::toggled, this, &SnifferControls::render);
    connect(ui->checkBoxASCII, &QCheckBox::toggled, this, &SnifferControls::render);
    connect(ui->protocolTabWidget, &QTabWidget::currentChanged, this, &SnifferControls::sniffProtocolTabChanged);
    connect(ui->startSnifferButton, &QPushButton::clicked, this, &SnifferControls::startSnifferClicked);
    connect(ui->pauseSnifferButton, &QPushButton::clicked, this, &SnifferControls::sniffPauseButtonChanged);
    connect(ui->pushButtonSnifferClear, &QPushButton::clicked, this, &SnifferControls::clearClicked);
    connect(ui->pushButtonSnifferSave, &QPushButton::clicked, this, &SnifferControls::saveTextClicked);
    // The views lay bytes out in columns, in a fixed-pitch font with a clear
    // A with a bar for the I2C not-acknowledge marker: the window's own font
    // draws that letter light, its bar tight on it, and it reads as a tilde.
    // Equal widths also make MOSI and MISO wrap alike.
    QFont fixed(QStringLiteral("DejaVu Sans Mono"));
    fixed.setStyleHint(QFont::Monospace);
    fixed.setPointSizeF(ui->i2cPlainTextEdit->font().pointSizeF());
    for (View v : {View::Mosi, View::Miso, View::I2c, View::Rx, View::Tx, View::Parallel})
        view(v)->setFont(fixed);
    // MOSI and MISO scroll together: a byte sent and the byte answered stay
    // at the same place in their panes, which lay out alike.
    QScrollBar *mosi = ui->mosiTextEdit->verticalScrollBar();
    QScrollBar *miso = ui->misoTextEdit->verticalScrollBar();
    connect(mosi, &QScrollBar::valueChanged, miso, &QScrollBar::setValue);
    connect(miso, &QScrollBar::valueChanged, mosi, &QScrollBar::setValue);
    channels->setSnifferSingle(ui->radioButtonSniffSingle->isChecked());
    ui->progressBarSnifferBufferFill->setMaximum(std::max(fillMaximum(ui->protocolTabWidget->currentIndex()), 0));
}

void SnifferControls::sendSnifferOptionControl()
{
    session->sendMainConfiguration(
        ConfigEntry::SnifferOptions,
        ConfigProtocol::snifferOptions(ui->comboBoxParity->currentIndex(), ui->comboBoxStopBits->currentIndex(),
                                       ui->checkBoxSynchro->isChecked(),
                                       ui->checkBoxSniffParallelInputInvert->isChecked(),
                                       ui->comboBoxSniffSSINV->currentIndex(), ui->comboBoxCPOL->currentIndex(),
                                       ui->comboBoxCPHA->currentIndex()));
}

void SnifferControls::sendSnifferMode()
{
    // Single is bit 2 of entry 10, which the scope's modes share.
    channels->setSnifferSingle(ui->radioButtonSniffSingle->isChecked());
    channels->sendMixedControls();
}

void SnifferControls::sendSnifferUSARTControl()
{
    session->sendMainConfiguration(ConfigEntry::SnifferUsart,
                                   ConfigProtocol::snifferUsart(ui->comboBoxUARTData->currentIndex(),
                                                                ui->comboBoxBaud->currentIndex()));
}

void SnifferControls::sendSnifferStrobeEdge(int index)
{
    session->sendMainConfiguration(ConfigEntry::SnifferStrobe, qBound(0, index, 2));
}

void SnifferControls::sendDecodeProtocol(int index)
{
    session->sendMainConfiguration(ConfigEntry::DecodeProtocol, qBound(0, index, 3));
}

void SnifferControls::sniffProtocolTabChanged(int index)
{
    sniffStop();
    setMode(0);
    sendDecodeProtocol(index);
    // The bar of the protocol now chosen, empty until its first frame.
    ui->progressBarSnifferBufferFill->setMaximum(std::max(fillMaximum(index), 0));
    ui->progressBarSnifferBufferFill->setValue(0);
}

void SnifferControls::startSnifferClicked()
{
    sendSnifferOptionControl();
    sendSnifferUSARTControl();
    sendSnifferStrobeEdge(ui->comboBoxSniffParallelStrobe->currentIndex());
    bookkeeping.reset();
    setRunning(!running);
    if (running) {
        setMode(1);
        runControl(&DeviceSession::sendSnifferStart);
    } else {
        // Stopping tells the instrument to stop, not to start once more.
        runControl(&DeviceSession::sendSnifferStop);
        setMode(0);
    }
}

void SnifferControls::sniffPauseButtonChanged()
{
    ui->pauseSnifferButton->setText(ui->pauseSnifferButton->isChecked() ? tr("Continue") : tr("Pause"));
}

void SnifferControls::clearClicked()
{
    runControl(&DeviceSession::sendSnifferClear);
    // The views start again from the emptied buffer, running or stopped, in
    // Circular mode too: the bar and the record of wrapped streams go back to
    // nothing, and a read that came before the clear is not shown.
    LibUsbDevice &usb = session->usb();
    quint64 sequence = 0;
    unsigned char none = 0;
    usb.copyData(&none, 0, &sequence);
    usb.acknowledgeData(sequence);
    bookkeeping.reset();
    shown.clear();
    sniffProtocolWidgetClear();
}

void SnifferControls::runControl(void (DeviceSession::*request)())
{
    // Run control goes straight to the instrument: never without one, nor
    // while a session start gathers the configuration block.
    if (session->isOpen() && !session->bulkMode())
        (session->*request)();
}

void SnifferControls::sniffStop()
{
    runControl(&DeviceSession::sendSnifferStop);
    setRunning(false);
}

void SnifferControls::setRunning(bool on)
{
    if (on) {
        sniffProtocolWidgetClear();
        shown.clear();
    }
    running = on;
    sniffControlsEnable(!on);
    ui->startSnifferButton->setText(on ? tr("STOP") : tr("START"));
    ui->pauseSnifferButton->setEnabled(on);
    ui->pauseSnifferButton->setChecked(false);
    sniffPauseButtonChanged();
}

void SnifferControls::setMode(int mode)
{
    session->sendMainModeControls(mode);
    emit mainModeChanged(mode);
}

void SnifferControls::sniffControlsEnable(bool on)
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             ui->comboBoxBaud, ui->comboBoxStopBits, ui->comboBoxParity, ui->comboBoxCPHA, ui->comboBoxCPOL,
             ui->modeGroupBox, ui->comboBoxUARTData, ui->checkBoxSynchro, ui->comboBoxSniffSSINV,
             ui->checkBoxSniffParallelInputInvert, ui->comboBoxSniffParallelStrobe})
        w->setEnabled(on);
}

QString SnifferControls::pageText() const
{
    struct Part {
        const char *name;
        View view;
    };
    QVector<Part> parts;
    switch (ui->protocolTabWidget->currentIndex()) {
    case 0:
        parts = {{"MOSI", View::Mosi}, {"MISO", View::Miso}};
        break;
    case 1:
        parts = {{nullptr, View::I2c}};
        break;
    case 2:
        parts = {{"RX", View::Rx}, {"TX", View::Tx}};
        break;
    default:
        parts = {{nullptr, View::Parallel}};
        break;
    }
    QStringList blocks;
    for (const Part &part : parts) {
        QString text = view(part.view)->toPlainText();
        if (!text.endsWith(QLatin1Char('\n')))
            text += QLatin1Char('\n');
        blocks << (part.name ? QString::fromLatin1(part.name) + QLatin1Char('\n') + text : text);
    }
    return blocks.join(QLatin1Char('\n'));
}

bool SnifferControls::saveTextTo(const QString &path)
{
    if (!FileSaving::save(ui->protocolTabWidget->window(), tr("Save Text"), path, pageText().toUtf8()))
        return false;
    emit statusText(tr("Sniffer text saved to %1").arg(QDir::toNativeSeparators(path)), false);
    return true;
}

void SnifferControls::saveTextClicked()
{
    const QString folder = defaultDir ? *defaultDir : QDir::homePath();
    QString filter;
    QString path = FileSaving::chooseFile(ui->protocolTabWidget->window(), tr("Save Text"), folder,
                                          tr("Plain text (*.txt);;All files (*)"), &filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".txt");
    if (defaultDir)
        *defaultDir = QFileInfo(path).absolutePath();
    saveTextTo(path);
}

void SnifferControls::sniffProtocolWidgetClear()
{
    for (View v : {View::Mosi, View::Miso, View::I2c, View::Rx, View::Tx, View::Parallel})
        view(v)->clear();
    ui->progressBarSnifferBufferFill->setValue(0);
}

void SnifferControls::sniffDataShow()
{
    // Each completed read is looked at once; an unchanged buffer is not decoded again.
    LibUsbDevice &usb = session->usb();
    if (!usb.dataReady)
        return;
    quint64 sequence = 0;
    const int length = usb.copyData(reinterpret_cast<unsigned char *>(incoming.data()), incoming.size(), &sequence);
    usb.acknowledgeData(sequence);
    const auto *frame = reinterpret_cast<const unsigned char *>(incoming.constData());
    if (Frames::acceptSnifferFrame(frame, length, lastFrameNumber) != Frames::SnifferVerdict::Accepted)
        return;
    sniffconfig_t header{};
    Frames::parseSnifferHeader(&header, frame);
    lastFrameNumber = header.frameNumber;
    if (ui->pauseSnifferButton->isChecked())
        return; // consumed, not shown
    int maximum = fillMaximum(header.protocol);
    if (maximum < 0) {
        VELTO_LOG(QStringLiteral("Sniffer, unknown protocol %1, frame not shown").arg(header.protocol), 2);
        maximum = ui->progressBarSnifferBufferFill->maximum();
    }
    bookkeeping.update(header.count1, header.count2, ui->checkBoxCircular->isChecked(), maximum);
    ui->progressBarSnifferBufferFill->setMaximum(maximum);
    if (fillMaximum(header.protocol) >= 0) {
        shown = incoming.left(Frames::snifferMinimumLength);
        render();
    }
    ui->progressBarSnifferBufferFill->setValue(bookkeeping.fill);
}

void SnifferControls::render()
{
    if (shown.size() < Frames::snifferMinimumLength)
        return;
    const auto *frame = reinterpret_cast<const uint8_t *>(shown.constData());
    sniffconfig_t header{};
    Frames::parseSnifferHeader(&header, frame);
    for (const ViewText &v : decodeFrame(frame, header, bookkeeping.unwrapped1, bookkeeping.unwrapped2, options())) {
        QPlainTextEdit *target = view(v.view);
        target->setPlainText(v.text);
        // The newest data in sight: the cursor at the end lays out the text it needs.
        target->moveCursor(QTextCursor::End);
        target->verticalScrollBar()->setValue(target->verticalScrollBar()->maximum());
    }
}

Options SnifferControls::options() const
{
    Options o;
    o.ascii = ui->checkBoxASCII->isChecked();
    o.circular = ui->checkBoxCircular->isChecked();
    o.synchro = ui->checkBoxSynchro->isChecked();
    return o;
}

QPlainTextEdit *SnifferControls::view(View which) const
{
    switch (which) {
    case View::Mosi:
        return ui->mosiTextEdit;
    case View::Miso:
        return ui->misoTextEdit;
    case View::I2c:
        return ui->i2cPlainTextEdit;
    case View::Rx:
        return ui->rxTextEdit;
    case View::Tx:
        return ui->txTextEdit;
    case View::Parallel:
        break;
    }
    return ui->plainTextEditParallel;
}

void SnifferControls::replaySettings()
{
    // The order the instrument has always been told its sniffer settings in.
    sniffProtocolTabChanged(ui->protocolTabWidget->currentIndex());
    sendSnifferMode();
    sendSnifferOptionControl();
    sendSnifferOptionControl();
    sendSnifferUSARTControl();
    sendSnifferOptionControl();
    sendSnifferStrobeEdge(ui->comboBoxSniffParallelStrobe->currentIndex());
}
