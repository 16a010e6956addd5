#include "app/veltointerface.h"

void VeltoInterface::disconnectDevice(bool close)
{
    usbDevice.controlWriteTransfer(0x48, 0, 0);
    changeWindowTitle(usbDevice.connectionLostFlag ? QStringLiteral("Interface - Connection lost... wait")
                                                   : QStringLiteral("Interface - Disconnecting... wait"));
    if (close)
        usbDevice.closeDevice();
    usbDevice.reset();
    changeWindowTitle(QStringLiteral("Interface - Not Connected"));
}
