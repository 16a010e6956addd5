// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QDialog>

class QTabWidget;
class GlobalOptions;
class QDialogButtonBox;
class QLabel;
class QTextBrowser;

// The About box: name, version with build stamp, licence and credits.
class About : public QDialog
{
    Q_OBJECT
public:
    About(QWidget *parent, GlobalOptions *options);

    // The text of the version line, e.g. "version: 1.2.1905121356 with Qt 5.15.8".
    static QString versionText();
    // The licence's full text, or a short notice naming it when the text is not on this machine.
    static QString licenceText();

public slots:
    void closeForm();

private:
    QTabWidget *makeTabs(GlobalOptions *options);
    QLabel *labelVersion;
    QDialogButtonBox *buttonBox;
};
