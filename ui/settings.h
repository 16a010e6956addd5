// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QDialog>
#include <QMap>
#include <QPointer>
#include <QVariant>

#include <functional>
#include <vector>

class Options;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;

// The modal settings dialog: the option sets in a list on the left, the chosen
// set's page on the right. Pages change their set only on Apply or OK.
class Settings : public QDialog
{
    Q_OBJECT
public:
    Settings(QWidget *parent, QMap<QString, QVariant *> *options, QString component);

    // What the window's callSettings does: log, create the dialog on the
    // window, route its Apply to `applyMember` of `receiver`, run it modally.
    // The dialog deletes itself when closed; the returned pointer then clears.
    static QPointer<Settings> callSettings(QWidget *window, QMap<QString, QVariant *> *options,
                                           const QString &component, const QObject *receiver,
                                           const char *applyMember);

    int pageCount() const;
    int currentRow() const;
    QWidget *currentPage() const;
    // The option set shown in a row, or null.
    Options *optionsAt(int row) const;

signals:
    void applyRequest();

private slots:
    void on_listWidget_itemSelectionChanged();
    void on_pushButtonApply_clicked();
    void on_pushButtonOk_clicked();
    void on_pushButtonCancel_clicked();

private:
    // The page of every option set the map holds, in a fixed order.
    void addPages(QMap<QString, QVariant *> *options);
    void addPage(Options *set, QWidget *page, std::function<void()> apply);
    void applyPages();

    struct Page {
        Options *set;
        std::function<void()> apply;
    };
    std::vector<Page> pages;
    QListWidget *listWidget;
    QStackedWidget *stackedWidget;
    QLabel *labelConfigurationName;
    QPushButton *pushButtonOk;
    QPushButton *pushButtonCancel;
    QPushButton *pushButtonApply;
};
