#pragma once

#include <QObject>

class DeviceSession;
class QLabel;
class ScopeChannels;
namespace Ui {
class VeltoInterface;
}

// The generator ("Velto - AWG" dock): its buffer, its enable and the
// frequency digits, with the effective frequency the instrument reads back.
class GeneratorControls : public QObject
{
    Q_OBJECT
public:
    GeneratorControls(Ui::VeltoInterface *ui, DeviceSession *session, ScopeChannels *channels,
                      QObject *parent = nullptr);

    void awgDACBufferChanged(int index);
    void awgEnableChanged();
    int sendDACControls(unsigned char *reply, int length);
    long long frequencyDigitsToFrequency() const;
    void frequencyDigitsValueChanged();
    void updateFrequency(double hundredthsOfHertz);
    double frequencyRealValueCheck();
    // The effective generator frequency last read back, in hertz.
    double effectiveFrequency() const { return effective; }

private:
    QLabel *frequencyDigitLabel(int position) const;

    Ui::VeltoInterface *ui;
    DeviceSession *session;
    ScopeChannels *channels;
    double effective = 0;
};
