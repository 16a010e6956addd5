// The window's frame helpers: thin shells over the frame records.
#include "app/veltointerface.h"
#include "device/configprotocol.h"
#include "ui_veltointerface.h"

#include <cstring>

void VeltoInterface::dataScopeHeaderGetData(frameconfig_t *header, unsigned char *data)
{
    Frames::parseScopeHeader(header, data);
}

void VeltoInterface::dataSnifferHeaderGetData(sniffconfig_t *header, unsigned char *data)
{
    Frames::parseSnifferHeader(header, data);
}

void VeltoInterface::dataChannelMeterGetData(channela_t *meter, unsigned char *data)
{
    Frames::parseMeterBlock(meter, data);
}

void VeltoInterface::dataChannelMeterGetSetitings(channela_t *meter, unsigned char *data)
{
    Frames::parseMeterSettings(meter, data);
}

void VeltoInterface::dataInitChannelMeterBuffer(channela_t *meter)
{
    Frames::initMeterBlock(meter);
}

void VeltoInterface::clearBuffer(unsigned char *buffer, int length)
{
    if (buffer && length > 0)
        std::memset(buffer, 0, size_t(length));
}

QString VeltoInterface::getStringFromUnsignedChar(unsigned char *data, int length)
{
    return Frames::identificationText(data, length);
}

int VeltoInterface::dataValueRangeTrunk(int value, int min, int max)
{
    return ConfigProtocol::dataValueRangeTrunk(value, min, max);
}

long long VeltoInterface::dataValueRangeTrunk64(long long value, long long min, long long max)
{
    return ConfigProtocol::dataValueRangeTrunk64(value, min, max);
}

uint8_t VeltoInterface::scopeTraceMask()
{
    return Frames::channelMaskFor(ui->checkBoxCH1Trace->isChecked(), ui->checkBoxCH2Trace->isChecked(),
                                  ui->checkBoxCHDTrace->isChecked());
}

void VeltoInterface::scopeInitDatacache()
{
    const uint8_t mask = scopeTraceMask();
    const int n = Frames::samplesForBufferIndex(ui->comboBoxADCBuffer->currentIndex());
    // A whole frame of that shape, so that a redraw before the first frame reads zeros.
    frameCache = QByteArray(Frames::scopeFrameLength(mask, n), '\0');
    unsigned char *d = reinterpret_cast<unsigned char *>(frameCache.data());
    d[0] = Frames::scopeFrameType;
    d[3] = mask;
    d[4] = mask & (Frames::Ch1 | Frames::Ch2);
    d[5] = uchar(n);
    d[6] = uchar(n >> 8);
    d[7] = uchar(ui->samplingSlider->value());
}
