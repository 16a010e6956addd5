// SPDX-License-Identifier: GPL-3.0-only
#pragma once
// What every fuzz target shares: the program's log lines are swallowed (a
// malformed input logs by design, and writing each line would be most of
// the work), and a small reader that turns the front of an input into the
// settings a target varies, leaving the rest as the bytes under test.
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

namespace FuzzSupport {

// Installs a message handler that drops everything; once per process.
void silenceLog();

// Times one input (CPU time of the thread); the slowest of the run is
// printed at exit with its time and size, and kept in the file
// VELTO_FUZZ_SLOWEST names (its time and size in that name + ".txt"), so
// that a run reports its slowest input in milliseconds rather than
// libFuzzer's whole seconds, also when it ends early.
class Timed
{
public:
    Timed(const uint8_t *data, size_t size);
    ~Timed();

private:
    const uint8_t *data;
    size_t size;
    qint64 started;
};

// Takes bytes from the front of an input; past the end it answers 0.
class Prefix
{
public:
    Prefix(const uint8_t *data, size_t size) : data(data), size(size) {}
    uint8_t byte()
    {
        if (used >= size)
            return 0;
        return data[used++];
    }
    uint16_t word()
    {
        const uint16_t low = byte();
        return uint16_t(low | (byte() << 8));
    }
    const uint8_t *rest() const { return data + (used < size ? used : size); }
    size_t restSize() const { return used < size ? size - used : 0; }

private:
    const uint8_t *data;
    size_t size;
    size_t used = 0;
};

} // namespace FuzzSupport
