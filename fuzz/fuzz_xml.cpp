// SPDX-License-Identifier: GPL-3.0-only
// The XML reader on the files Velto reads from outside: "hardware.xml" with
// an identification checked against it, a device information file with a
// health byte, and the reader's own cursor and value conversions walked
// over every element; from memory, and for one input in four also from a
// file and from text.
//
// Input: byte 0 the health byte, then the identification up to the first
// line feed, then the document.
#include "fuzzsupport.h"

#include "core/persistence/hardwareprofile.h"
#include "core/persistence/qxmlputget.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cmath>
#include <cstdlib>
#include <unistd.h>

namespace {

// One scratch file per process, removed at exit.
struct ScratchFile {
    const QString path = QDir::tempPath() + QStringLiteral("/velto-fuzz-xml-%1.xml").arg(qint64(::getpid()));
    ~ScratchFile() { QFile::remove(path); }
};

QString scratchFile()
{
    static const ScratchFile file;
    return file.path;
}

volatile unsigned sink; // unsigned: sums of values read from the input may wrap

// A double read from the input folded into an int without overflow: a
// conversion of 1e36 to int is undefined, and would be this program's fault.
int fold(double value)
{
    return std::isfinite(value) ? int(std::fmod(value, 1e6)) : 0;
}

// Every getter on every element and attribute, depth first, up to a bound
// that keeps one input fast.
void walk(QXmlGet &xml, int &budget)
{
    xml.findReset();
    while (budget > 0 && xml.findNext()) {
        --budget;
        sink = unsigned(xml.getString().size()) + xml.getInt() + fold(xml.getDouble()) + xml.getBool();
        sink = unsigned(xml.getColor().alpha()) + xml.getSize().width() + xml.getRect().height() + fold(xml.getPointF().x());
        sink = unsigned(xml.getByteArray().size()) + xml.getStringList().size() + xml.getIntVector().size();
        sink = unsigned(xml.getDoubleVector().size()) + xml.getBoolVector().size() + xml.getDateTime().isValid();
        sink = unsigned(xml.getPen().width()) + xml.getBrush().style() + xml.getFont().pointSize();
        const auto attributes = xml.element().attributes();
        for (int i = 0; i < attributes.count() && i < 8; ++i) {
            const QString name = attributes.item(i).nodeName();
            sink = unsigned(xml.getAttributeInt(name)) + xml.getAttributeBool(name) + xml.getAttributeColor(name).red();
            sink = unsigned(xml.getAttributeIntVector(name).size()) + xml.getAttributeDoubleVector(name).size();
        }
        if (xml.hasChildren()) {
            QXmlGet inner = xml.descended();
            walk(inner, budget);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Fonts, colours and pens need the GUI side of the toolkit.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Kept for the whole run and never destroyed: the offscreen platform
    // leaves its screen behind when the application object goes at exit.
    static QGuiApplication *app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app);
    FuzzSupport::silenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Timed timed(data, size);
    FuzzSupport::Prefix prefix(data, size);
    const uint8_t health = prefix.byte();
    const QByteArray rest(reinterpret_cast<const char *>(prefix.rest()), int(prefix.restSize()));
    const int lineEnd = rest.indexOf('\n');
    const QByteArray identification = lineEnd < 0 ? QByteArray() : rest.left(qMin(lineEnd, 64));
    const QByteArray document = lineEnd < 0 ? rest : rest.mid(lineEnd + 1);

    // The document is read once from memory for the profile check, the
    // information lines and the walk. One input in four (by its length)
    // also goes through a file, as the application reads them, and through
    // the text reader; reading it three times for every input took most of
    // the time, and the readers of files and of memory share their parsing.
    QXmlGet xml;
    const bool read = xml.fromData(document);
    if (read) {
        const DeviceProfileCheck check = checkDeviceProfile(QString::fromLatin1(identification), xml);
        if (check.code < ProfileSupported || check.code > ProfileWrongDocType)
            std::abort();
        sink = deviceInfoLines(xml, health).size();
    }
    if (size % 4 == 0) {
        QFile file(scratchFile());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(document);
        file.close();
        const DeviceProfileCheck check = checkDeviceProfile(QString::fromLatin1(identification), scratchFile());
        if (check.code < ProfileSupported || check.code > ProfileWrongDocType)
            std::abort();
        const QStringList lines = deviceInfoLines(scratchFile(), health);
        // What the file gives, memory gives: the file's own checks (empty, too large) aside.
        if (read && (lines != deviceInfoLines(xml, health) ||
                     check.code != checkDeviceProfile(QString::fromLatin1(identification), xml).code))
            std::abort();
        QXmlGet text;
        if (text.fromString(QString::fromUtf8(document))) {
            int budget = 200;
            walk(text, budget);
        }
    }

    if (read) {
        int budget = 200;
        walk(xml, budget);
    }
    return 0;
}
