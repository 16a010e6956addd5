// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// A model of the instrument's firmware on a virtual bench: the configuration
// table, the vendor requests, acquisition with frames, meter, counter, sniffer
// and the shared sample memory, advancing on a clock. The virtual USB backend
// serves it through the same seam the real instrument is reached through.

#include <QByteArray>

#include <cstdint>
#include <mutex>

class VirtualInstrument
{
public:
    VirtualInstrument();
    ~VirtualInstrument();

    // --- Clock -------------------------------------------------------------
    // The wall clock by default; a test clock that only advanceClock() moves
    // when a test wants determinism.
    void useTestClock(bool on);
    bool usingTestClock() const;
    void advanceClock(int64_t microseconds);
    int64_t nowMicroseconds() const;

    // --- USB side, as the firmware sees it (thread-safe) ---------------------
    // A vendor request: returns the bytes of the data stage (0 when none) or a
    // negative libusb error code: LIBUSB_ERROR_PIPE for a stall,
    // LIBUSB_ERROR_NO_DEVICE while detached, LIBUSB_ERROR_TIMEOUT on a fault.
    int control(uint8_t request, uint16_t index, uint16_t value, unsigned char *data, int length);
    // A bulk OUT transfer on `endpoint`: bytes taken, or a negative libusb code.
    int bulkOut(unsigned char endpoint, const unsigned char *data, int length);
    // The next frame for the bulk IN pipe if one is due now: its length, with
    // the bytes written to `buffer` (at most `capacity`); 0 when none is due.
    int takeFrame(unsigned char *buffer, int capacity);
    // Called when the host closes the device (request 0x48 or close).
    void hostDisconnected();

    // --- The bench ---------------------------------------------------------
    void setAttached(bool attached);
    bool attached() const;

    // Faults a test can ask for.
    enum class ControlFault { None, Timeout, Stall };
    enum class FrameFault { None, Short, Long, WrongHeader };
    enum class IdentificationFault { None, WrongLength, UnknownModel };
    // The next `count` control requests fail so (an instrument that stops answering: several timeouts).
    void failNextControl(ControlFault fault, int count = 1);
    void failNextFrame(FrameFault fault);
    void setIdentificationFault(IdentificationFault fault);
    void setHealthByte(uint8_t health);

    // Inspection for tests.
    int32_t configurationEntry(int index) const;
    bool scopeRunning() const;
    bool snifferRunning() const;
    // Samples per channel of the frames being produced (256 × blocks).
    int samplesPerChannel() const;
    // The frequency the generator really produces, in hertz.
    double generatorFrequency() const;
    // The stored custom waveform, word by word (0 … 511).
    uint16_t customWaveformWord(int index) const;
    // True while the ADC offset calibration is applied.
    bool adcOffsetCalibrated() const;

    // Back to the state of a freshly powered instrument (the stored custom
    // waveform survives, as it does across a disconnect).
    void powerCycle();

private:
    // The requests of control(), called with the lock held.
    int confirmedWrite(uint16_t index, uint16_t value, unsigned char *data, int length);
    int calibrate(uint16_t index, uint16_t value);
    int runControl(uint16_t index, int64_t now);
    int commitBlock(uint16_t index);
    int readBlock(uint16_t index, unsigned char *data, int length);

    struct State;
    mutable std::mutex mutex;
    State *d;
};
