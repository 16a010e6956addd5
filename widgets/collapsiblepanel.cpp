// SPDX-License-Identifier: GPL-3.0-only
#include "widgets/collapsiblepanel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleOption>
#include <QToolButton>

CollapsiblePanel::CollapsiblePanel(QWidget *parent) : QWidget(parent)
{
    // The "__qt__passive_" prefix lets a form designer hand clicks to the children.
    toggleButton = new QToolButton(this);
    toggleButton->setObjectName(QStringLiteral("__qt__passive_toggleButton"));
    toggleButton->setCheckable(true);
    toggleButton->setChecked(false);
    toggleButton->setStyleSheet(QStringLiteral("QToolButton {border: none; background-color: rgba(255, 255, 255, 0);}"));
    toggleButton->setToolTip(tr("Shows or hides this section"));

    checkBox = new QCheckBox(this);
    checkBox->setObjectName(QStringLiteral("__qt__passive_comboBox"));
    checkBox->setText(QString());
    checkBox->setLayoutDirection(Qt::RightToLeft);
    // No sheet of its own: one with any rule made the theme draw the box
    // without its frame, so an unchecked panel showed no box at all.
    checkBox->setToolTip(tr("Switches this section on or off"));

    titleLabel = new QLabel(this);
    titleLabel->setObjectName(QStringLiteral("__qt__passive_label"));
    titleLabel->setFrameShape(QFrame::NoFrame);

    textLabel = new QLabel(this);
    textLabel->setObjectName(QStringLiteral("__qt__passive_text"));
    textLabel->setFrameShape(QFrame::NoFrame);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(toggleButton);
    layout->addWidget(checkBox);
    layout->addWidget(titleLabel);
    layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    layout->addWidget(textLabel);

    connect(checkBox, &QCheckBox::clicked, this, &CollapsiblePanel::setChecked);
    connect(toggleButton, &QToolButton::clicked, this, &CollapsiblePanel::toggleButtonChanged);

    // Unchecked tool button: the panel starts collapsed, showing the down arrow.
    setCollapsiblePanelIcon(panelIcon);
    setCheckable(false);
}

QString CollapsiblePanel::title() const { return titleLabel->text(); }
void CollapsiblePanel::setTitle(const QString &title) { titleLabel->setText(title); }
bool CollapsiblePanel::isCheckable() const { return checkBox->isCheckable(); }

void CollapsiblePanel::setCheckable(bool checkable)
{
    checkBox->setCheckable(checkable);
    checkBox->setVisible(checkable);
}

bool CollapsiblePanel::isChecked() const { return checkBox->isChecked(); }

void CollapsiblePanel::setChecked(bool checked)
{
    checkBox->setChecked(checked);
    // Also from code: the sweep switch and the stored settings rely on hearing it.
    emit checkedChanged(checked);
}

QIcon CollapsiblePanel::icon() const { return panelIcon; }
void CollapsiblePanel::setIcon(const QIcon &icon) { setCollapsiblePanelIcon(icon); }
QSize CollapsiblePanel::iconSize() const { return toggleButton->iconSize(); }
void CollapsiblePanel::setIconSize(const QSize &size) { toggleButton->setIconSize(size); }
bool CollapsiblePanel::isCollapsed() const { return !toggleButton->isChecked(); }

void CollapsiblePanel::setCollapsed(bool collapsed)
{
    toggleButton->setChecked(!collapsed);
    setCollapsiblePanelIcon(panelIcon);
    emit collapsedChanged(collapsed);
}

QString CollapsiblePanel::text() const { return textLabel->text(); }
void CollapsiblePanel::setText(const QString &text) { textLabel->setText(text); }

void CollapsiblePanel::setTextVisible(bool visible)
{
    textVisible = visible;
    textLabel->setVisible(visible);
}

void CollapsiblePanel::update()
{
    setCollapsed(isCollapsed());
    QWidget::update();
}

void CollapsiblePanel::toggleButtonChanged()
{
    update();
}

void CollapsiblePanel::setCollapsiblePanelIcon(const QIcon &icon)
{
    panelIcon = icon;
    if (icon.isNull()) {
        toggleButton->setIcon(QIcon());
        setCollapsiblePanelArrow(isCollapsed());
    } else {
        toggleButton->setArrowType(Qt::NoArrow);
        toggleButton->setIcon(icon);
    }
}

void CollapsiblePanel::setCollapsiblePanelArrow(bool collapsed)
{
    toggleButton->setArrowType(collapsed ? Qt::DownArrow : Qt::UpArrow);
}

void CollapsiblePanel::paintEvent(QPaintEvent *)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

QIcon foldUnfoldIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/fold.png"), QSize(), QIcon::Normal, QIcon::On);
    icon.addFile(QStringLiteral(":/icons/unfold.png"), QSize(), QIcon::Normal, QIcon::Off);
    return icon;
}

void foldsFrame(CollapsiblePanel *panel, QWidget *frame, bool summaryWhileFolded)
{
    panel->setIcon(foldUnfoldIcon());
    auto follow = [panel, frame, summaryWhileFolded](bool collapsed) {
        frame->setVisible(!collapsed);
        if (summaryWhileFolded)
            panel->setTextVisible(collapsed);
    };
    QObject::connect(panel, &CollapsiblePanel::collapsedChanged, frame, follow);
    follow(panel->isCollapsed());
}
