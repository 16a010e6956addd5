// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QIcon>
#include <QWidget>

class QCheckBox;
class QLabel;
class QToolButton;

// A header bar that folds and unfolds a section of the control column, with an
// optional "enabled" check box. The tool button's checked state means expanded.
class CollapsiblePanel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(bool checkable READ isCheckable WRITE setCheckable)
    Q_PROPERTY(bool checked READ isChecked WRITE setChecked)
    Q_PROPERTY(QIcon icon READ icon WRITE setIcon)
    Q_PROPERTY(QSize iconSize READ iconSize WRITE setIconSize)
    Q_PROPERTY(bool collapsed READ isCollapsed WRITE setCollapsed)
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit CollapsiblePanel(QWidget *parent = nullptr);

    QString title() const;
    void setTitle(const QString &title);
    bool isCheckable() const;
    void setCheckable(bool checkable);
    bool isChecked() const;
    QIcon icon() const;
    void setIcon(const QIcon &icon);
    QSize iconSize() const;
    void setIconSize(const QSize &size);
    bool isCollapsed() const;
    QString text() const;
    void setText(const QString &text);
    void setTextVisible(bool visible);
    bool isTextVisible() const { return textVisible; }

public slots:
    void setChecked(bool checked);
    void setCollapsed(bool collapsed);
    void update();

signals:
    void checkedChanged(bool checked);
    void collapsedChanged(bool collapsed);

protected:
    void paintEvent(QPaintEvent *event) override;

private slots:
    void toggleButtonChanged();

private:
    void setCollapsiblePanelIcon(const QIcon &icon);
    void setCollapsiblePanelArrow(bool collapsed);

    QToolButton *toggleButton;
    QCheckBox *checkBox;
    QLabel *titleLabel;
    QLabel *textLabel;
    QIcon panelIcon;
    bool textVisible = true;
};

// The window's folding sections: the panel shows the fold picture while
// expanded and the unfold picture while folded, and shows its frame only
// while expanded; a summary panel shows its text only while folded.
QIcon foldUnfoldIcon();
void foldsFrame(CollapsiblePanel *panel, QWidget *frame, bool summaryWhileFolded = false);
