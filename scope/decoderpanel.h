// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/decode/decoderunner.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

class QComboBox;
class QDockWidget;
class QFormLayout;
class QGroupBox;
class QLabel;
class QListWidget;
class QMainWindow;
class QPushButton;
class ScopeDisplay;

// The "Decoders" dock: protocol decoders of sigrok's library run on the
// scope's logic bits. A decoder is added from the library's list (searched
// by name and description), its channels are given logic bits by the
// decoder's own channel names, its options are set with widgets made from
// the decoder's option list, a decoder can be stacked on one whose output it
// reads, and removed with what is stacked on it. The decoders and their
// settings are kept in the settings group "decoders". Every new frame's
// logic bits go to the decoding thread (DecodeRunner); a frame that finds
// it busy is skipped, and the dock says how many were.
class DecoderPanel : public QObject
{
    Q_OBJECT
public:
    DecoderPanel(QMainWindow *window, ScopeDisplay *display, QObject *parent = nullptr);
    ~DecoderPanel() override;

    QDockWidget *dock() const { return dockWidget; }
    const QVector<Decode::DecoderSetting> &settings() const { return decoders; }
    Decode::DecodeRunner *runner() { return &decodeRunner; }
    // The newest frame decoded with the decoders as they are now.
    const Decode::DecodedFrame &latest() const { return newest; }

    // What the dock's controls do. `parent` is the decoder it is stacked on
    // (-1: on the logic bits); its channels take the next free bits. False,
    // with a message, for a decoder that is not installed or cannot read
    // what `parent` puts out.
    bool addDecoder(const QString &id, int parent = -1);
    void removeDecoder(int index);
    void setChannel(int index, const QString &channel, int bit);
    // False, and nothing changed, for a value that is not one the option takes.
    bool setOption(int index, const QString &option, const QVariant &value);
    // Decodes the frame shown now (also while stopped).
    void decodeShown();
    void showAddDialog();

signals:
    // The decoders changed (added, removed, set up otherwise).
    void decodersChanged();
    // A frame was decoded with the decoders as they are.
    void frameDecoded(const Decode::DecodedFrame &frame);
    // The "Annotation table" button: the window shows the table's dock.
    void tableRequested();
    // The "Bit rows" box: rows of single bits on the plot or not.
    void bitRowsToggled(bool on);

private:
    void frameTaken(const QByteArray &frame, int start, int frameNumber);
    void resultArrived(const Decode::DecodedFrame &result);
    void changed();
    void rebuildList();
    void rebuildDetails();
    void refreshStatus();
    void refreshStatusSoon();
    void save() const;
    void load();
    int selected() const;

    ScopeDisplay *display;
    QDockWidget *dockWidget = nullptr;
    QListWidget *list = nullptr;
    QPushButton *removeButton = nullptr;
    QGroupBox *channelBox = nullptr;
    QGroupBox *optionBox = nullptr;
    QFormLayout *channelForm = nullptr;
    QFormLayout *optionForm = nullptr;
    QLabel *status = nullptr;
    QVector<Decode::DecoderSetting> decoders;
    Decode::DecodeRunner decodeRunner;
    int generation = 0;
    Decode::DecodedFrame newest;
    QTimer statusPace;
};
