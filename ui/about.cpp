// SPDX-License-Identifier: GPL-3.0-only
#include "ui/about.h"

#include "ui/buildstamp.h"
#include "ui/options.h"

#include <QApplication>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <cmath>

QString About::versionText()
{
    return tr("version:") + QLatin1Char(' ') + QCoreApplication::applicationVersion() + QLatin1Char('.') +
           buildStamp() + QLatin1Char(' ') + tr("with Qt %1").arg(QStringLiteral(QT_VERSION_STR));
}

QString About::licenceText()
{
    // The licence is shown exactly as published; Debian keeps that copy on every system.
    QFile file(QStringLiteral("/usr/share/common-licenses/GPL-3"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString::fromUtf8(file.readAll());
    qWarning().noquote() << QStringLiteral("About: licence text not found at %1").arg(file.fileName());
    return tr("This program is free software: you can redistribute it and/or modify it under the terms of the "
              "GNU General Public License as published by the Free Software Foundation, version 3.\n\n"
              "The full text of the licence is at https://www.gnu.org/licenses/gpl-3.0.html");
}

static float usableFactor(float factor)
{
    // A factor from a damaged store must not shrink the box to nothing or blow it up.
    return std::isfinite(factor) && factor >= 0.5f && factor <= 4.0f ? factor : 1.0f;
}

// The licence text in the user's fixed font, and the credits.
QTabWidget *About::makeTabs(GlobalOptions *options)
{
    auto *tabs = new QTabWidget(this);
    auto *licence = new QPlainTextEdit(tabs);
    licence->setObjectName(QStringLiteral("plainTextEditLicence"));
    licence->setReadOnly(true);
    licence->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont fixed(options ? options->fontFamily : QStringLiteral("Courier"));
    fixed.setStyleHint(QFont::TypeWriter);
    if (options && options->fontSize > 0)
        fixed.setPointSize(options->fontSize);
    licence->setFont(fixed);
    licence->setPlainText(licenceText());

    auto *credits = new QTextBrowser(tabs);
    credits->setObjectName(QStringLiteral("textBrowserCredits"));
    credits->setOpenExternalLinks(true);
    credits->setHtml(tr("<p><b>Velto</b> drives the Velto USB multi-instrument: oscilloscope, logic analyser, "
                        "waveform generator, meter, counter and bus sniffer.</p>"
                        "<p>Home page: <a href=\"https://%1\">%1</a></p>"
                        "<p><b>Program:</b> the Velto developers.</p>"
                        "<p><b>Built with:</b></p><ul>"
                        "<li>Qt &mdash; The Qt Company and the Qt contributors (also the XML reader under the "
                        "settings and profiles)</li>"
                        "<li>QCustomPlot &mdash; Emanuel Eichhammer</li>"
                        "<li>libusb &mdash; the libusb project and its contributors</li>"
                        "<li>pybind11 &mdash; Wenzel Jakob and the pybind11 contributors</li>"
                        "</ul>")
                         .arg(QCoreApplication::organizationDomain().isEmpty()
                                  ? QStringLiteral("velto.local")
                                  : QCoreApplication::organizationDomain()));

    tabs->addTab(licence, tr("License"));
    tabs->addTab(credits, tr("Credits"));
    return tabs;
}

About::About(QWidget *parent, GlobalOptions *options) : QDialog(parent)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QCoreApplication::applicationName() + QStringLiteral(" - ") + tr("About"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *labelIcon = new QLabel(this);
    labelIcon->setObjectName(QStringLiteral("labelIcon"));
    labelIcon->setPixmap(QPixmap(QStringLiteral(":/icons/about_icon.png")));
    labelIcon->setFixedSize(64, 64);
    labelIcon->setScaledContents(true);

    auto *labelName = new QLabel(this);
    labelName->setObjectName(QStringLiteral("labelName"));
    labelName->setStyleSheet(QStringLiteral("QLabel { background-image: url(:/icons/app-name.png); "
                                            "background-position: bottom left; background-repeat: no-repeat; }"));
    labelName->setMinimumSize(200, 48);

    labelVersion = new QLabel(versionText(), this);
    labelVersion->setObjectName(QStringLiteral("labelVersion"));
    labelVersion->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *labelLicenceType = new QLabel(tr("GNU General Public License"), this);
    labelLicenceType->setObjectName(QStringLiteral("labelLicenceType"));
    QFont bold = labelLicenceType->font();
    bold.setBold(true);
    labelLicenceType->setFont(bold);

    QTabWidget *tabs = makeTabs(options);

    buttonBox = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *header = new QHBoxLayout();
    header->addWidget(labelIcon);
    auto *names = new QVBoxLayout();
    names->addWidget(labelName);
    names->addWidget(labelVersion);
    header->addLayout(names, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(labelLicenceType);
    layout->addWidget(tabs, 1);
    layout->addWidget(buttonBox);

    setMinimumSize(560, 420);
    const float widthFactor = usableFactor(options ? options->widthFactor : 1.0f);
    const float heightFactor = usableFactor(options ? options->heightFactor : 1.0f);
    setMinimumWidth(int(minimumWidth() * widthFactor));
    resize(int(width() * widthFactor), int((minimumHeight() + 1) * heightFactor));
}

void About::closeForm()
{
    if (QPushButton *close = buttonBox->button(QDialogButtonBox::Close))
        close->click();
}
