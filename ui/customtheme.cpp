// SPDX-License-Identifier: GPL-3.0-only
#include "ui/customtheme.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QColorDialog>
#include <QDebug>
#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>

namespace {

const char colourNameProperty[] = "colourName";
const int iconSide = 24;

// The channel colours, the grid and the background in the first column, the
// logic bits in the second, their references in the third.
int columnOf(const QString &name)
{
    if (!name.startsWith(QLatin1String("BIT ")))
        return 0;
    return name.endsWith(QLatin1String(" REF")) ? 2 : 1;
}

} // namespace

CustomTheme::CustomTheme(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CustomTheme"));
    setWindowTitle(tr("Custom Theme"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/ico48.png")));
    // A title bar with a close button and nothing else: no help, no minimise, no maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    applyStyleSheet();

    // It opens from the Settings dialog, which is modal: a dialog that is
    // not modal itself would get no click until Settings closes.
    setWindowModality(Qt::ApplicationModal);

    buildForm();

    // One colour dialog for the dialog's lifetime, so it keeps its custom
    // colours and its place between choices.
    colourDialog = new QColorDialog(this);
    colourDialog->setObjectName(QStringLiteral("colourDialog"));
    chooseColour = [this](const QColor &initial) {
        colourDialog->setCurrentColor(initial);
        if (colourDialog->exec() != QDialog::Accepted)
            return QColor();
        return colourDialog->selectedColor();
    };

    prepareButtons();
    loadTheme();
    // Sized once the swatches and the style sheet's paddings are in, so that
    // no name is cut off.
    for (QPushButton *button : qAsConst(colourButtons))
        button->ensurePolished();
    setFixedSize(sizeHint());
    centreOnScreen();
}

void CustomTheme::buildForm()
{
    label = new QLabel(tr("Change colors:"), this);
    label->setObjectName(QStringLiteral("label"));

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    int rows[3] = {0, 0, 0};
    for (const QString &name : CustomColors::names()) {
        // The text is the colour's name in the table; it is not translated.
        auto *button = new QPushButton(name, this);
        button->setObjectName(QStringLiteral("colourButton_") + CustomColors::settingsKey(name));
        button->setProperty(colourNameProperty, name);
        button->setIconSize(QSize(iconSide, iconSide));
        button->setAutoDefault(false);
        button->setMinimumWidth(120);
        const int column = columnOf(name);
        grid->addWidget(button, rows[column]++, column);
        colourButtons.append(button);
    }

    cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setAutoDefault(false);
    applyButton = new QPushButton(tr("Apply"), this);
    applyButton->setObjectName(QStringLiteral("applyButton"));
    applyButton->setDefault(true);
    connect(cancelButton, &QPushButton::clicked, this, &CustomTheme::on_cancelButton_clicked);
    connect(applyButton, &QPushButton::clicked, this, &CustomTheme::on_applyButton_clicked);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancelButton);
    buttons->addWidget(applyButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons);
}

void CustomTheme::applyStyleSheet()
{
    // Created without a parent, the dialog does not inherit the window's
    // sheet; it takes the same one from the resources.
    QFile sheet(QStringLiteral(":/themes/theme-linux.qss"));
    if (!sheet.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug().noquote() << QStringLiteral("Custom theme: no style sheet at %1, using the default style")
                                  .arg(sheet.fileName());
        return;
    }
    setStyleSheet(QString::fromUtf8(sheet.readAll()));
}

void CustomTheme::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    move(available.center() - QPoint(width() / 2, height() / 2));
}

void CustomTheme::prepareButtons()
{
    if (buttonGroup)
        return;
    buttonGroup = new QButtonGroup(this);
    buttonGroup->setExclusive(false);
    for (QPushButton *button : qAsConst(colourButtons)) {
        // The colour swatch sits after the name.
        button->setLayoutDirection(Qt::RightToLeft);
        buttonGroup->addButton(button);
    }
    connect(buttonGroup, QOverload<QAbstractButton *>::of(&QButtonGroup::buttonClicked), this,
            &CustomTheme::onButtonClicked);
}

QIcon CustomTheme::prepareIcon(const QColor &colour) const
{
    QPixmap swatch(iconSide, iconSide);
    swatch.fill(colour.isValid() ? colour : QColor(Qt::transparent));
    return QIcon(swatch);
}

void CustomTheme::colorizeButtons()
{
    for (QPushButton *button : qAsConst(colourButtons))
        button->setIcon(prepareIcon(customColors.colorAt(colourNameOf(button))));
}

QString CustomTheme::idealForegroundColor(const QColor &background) const
{
    return ::idealForegroundColor(background);
}

QString CustomTheme::colourNameOf(const QAbstractButton *button)
{
    // Some desktop styles add keyboard accelerators to button texts; the name
    // kept with the button is the one the table knows.
    const QVariant name = button->property(colourNameProperty);
    return name.isValid() ? name.toString() : button->text();
}

void CustomTheme::onButtonClicked(QAbstractButton *button)
{
    if (!button)
        return;
    const QString name = colourNameOf(button);
    const QColor current = customColors.colorAt(name);
    if (!current.isValid()) {
        qWarning().noquote() << QStringLiteral("Custom theme: no colour named \"%1\"").arg(name);
        return;
    }
    if (!chooseColour)
        return;
    const QColor chosen = chooseColour(current);
    if (!chosen.isValid())
        return;
    customColors.setColor(name, chosen);
    button->setIcon(prepareIcon(customColors.colorAt(name)));
}

void CustomTheme::on_applyButton_clicked()
{
    // Stored first, so the colours the plot shows are the ones the next start brings back.
    saveTheme();
    emit applyCustomTheme(Theme::Custom, &customColors);
    accept();
}

void CustomTheme::on_cancelButton_clicked()
{
    reject();
}

void CustomTheme::reject()
{
    loadTheme();
    QDialog::reject();
}

void CustomTheme::loadTheme()
{
    QSettings store;
    if (!customColors.load(store)) {
        loadDefaultTheme();
        return;
    }
    colorizeButtons();
}

void CustomTheme::saveTheme()
{
    QSettings store;
    customColors.save(store);
    store.sync();
    if (store.status() != QSettings::NoError)
        qWarning().noquote()
            << QStringLiteral("Custom theme: could not write the colours to %1").arg(store.fileName());
}

void CustomTheme::loadDefaultTheme()
{
    customColors.loadDefaults();
    colorizeButtons();
}
