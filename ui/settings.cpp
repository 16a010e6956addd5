// SPDX-License-Identifier: GPL-3.0-only
#include "ui/settings.h"

#include "ui/globalsettings.h"
#include "ui/options.h"
#include "ui/pythonconsolesettings.h"
#include "ui/scopesettings.h"
#include "widgets/multimeterdisplayoptions.h"
#include "widgets/multimeterdisplaysettings.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

// The set stored under `key`, when the entry holds a pointer of the set's own registered type.
template <typename T> static T *setFromMap(QMap<QString, QVariant *> *options, const QString &key)
{
    QVariant *entry = options->value(key);
    if (!entry || entry->userType() != qMetaTypeId<T *>())
        return nullptr;
    return entry->value<T *>();
}

Settings::Settings(QWidget *parent, QMap<QString, QVariant *> *options, QString component) : QDialog(parent)
{
    setObjectName(QStringLiteral("Settings"));
    setWindowTitle(tr("Settings"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    listWidget = new QListWidget(this);
    listWidget->setObjectName(QStringLiteral("listWidget"));
    listWidget->setIconSize(QSize(32, 32));
    listWidget->setSpacing(2);
    stackedWidget = new QStackedWidget(this);
    stackedWidget->setObjectName(QStringLiteral("stackedWidget"));
    labelConfigurationName = new QLabel(this);
    labelConfigurationName->setObjectName(QStringLiteral("labelConfigurationName"));
    QFont titleFont = labelConfigurationName->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    labelConfigurationName->setFont(titleFont);
    pushButtonOk = new QPushButton(tr("OK"), this);
    pushButtonOk->setObjectName(QStringLiteral("pushButtonOk"));
    pushButtonOk->setDefault(true);
    pushButtonCancel = new QPushButton(tr("Cancel"), this);
    pushButtonCancel->setObjectName(QStringLiteral("pushButtonCancel"));
    pushButtonApply = new QPushButton(tr("Apply"), this);
    pushButtonApply->setObjectName(QStringLiteral("pushButtonApply"));

    auto *right = new QVBoxLayout();
    right->addWidget(labelConfigurationName);
    right->addWidget(stackedWidget, 1);
    auto *top = new QHBoxLayout();
    top->addWidget(listWidget);
    top->addLayout(right, 1);
    auto *buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(pushButtonOk);
    buttons->addWidget(pushButtonCancel);
    buttons->addWidget(pushButtonApply);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    {
        const QSignalBlocker blocker(listWidget);
        if (options)
            addPages(options);
    }

    connect(listWidget, &QListWidget::itemSelectionChanged, this, &Settings::on_listWidget_itemSelectionChanged);
    connect(pushButtonApply, &QPushButton::clicked, this, &Settings::on_pushButtonApply_clicked);
    connect(pushButtonOk, &QPushButton::clicked, this, &Settings::on_pushButtonOk_clicked);
    connect(pushButtonCancel, &QPushButton::clicked, this, &Settings::on_pushButtonCancel_clicked);

    // The list is as wide as its longest entry, so that no name is cut.
    listWidget->setFixedWidth(qMax(140, listWidget->sizeHintForColumn(0) + 2 * listWidget->frameWidth() + 8));

    if (listWidget->count() > 0) {
        int row = 0;
        for (int i = 0; i < int(pages.size()); ++i) {
            if (pages[size_t(i)].set->getName() == component) {
                row = i;
                break;
            }
        }
        listWidget->setCurrentRow(row);
    } else {
        qWarning().noquote() << QStringLiteral("Settings: no option sets to show");
    }
    resize(sizeHint().expandedTo(QSize(640, 440)));
}

void Settings::addPages(QMap<QString, QVariant *> *options)
{
    if (auto *set = setFromMap<PythonConsoleOptions>(options, QStringLiteral("PythonConsoleOptions"))) {
        auto *page = new PythonConsoleSettings(nullptr, set);
        addPage(set, page, [page] { page->applyOptions(); });
    }
    if (auto *set = setFromMap<ScopeOptions>(options, QStringLiteral("ScopeOptions"))) {
        auto *page = new ScopeSettings(nullptr, set);
        addPage(set, page, [page] { page->applyOptions(); });
    }
    if (auto *set = setFromMap<MultimeterDisplayOptions>(options, QStringLiteral("MultimeterDisplayOptions"))) {
        auto *page = new MultimeterDisplaySettings(nullptr, set);
        addPage(set, page, [page] { page->applyOptions(); });
    }
    // The global page has nothing to apply.
    if (auto *set = setFromMap<GlobalOptions>(options, QStringLiteral("GlobalOptions")))
        addPage(set, new GlobalSettings(nullptr, set), nullptr);
}

void Settings::addPage(Options *set, QWidget *page, std::function<void()> apply)
{
    auto *container = new QWidget(stackedWidget);
    auto *layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    page->setParent(container);
    layout->addWidget(page);
    stackedWidget->addWidget(container);
    listWidget->addItem(new QListWidgetItem(set->getIcon(), set->getCommonName()));
    pages.push_back({set, std::move(apply)});
}

QPointer<Settings> Settings::callSettings(QWidget *window, QMap<QString, QVariant *> *options,
                                          const QString &component, const QObject *receiver,
                                          const char *applyMember)
{
    qDebug().noquote() << QStringLiteral("Call settings by: ") + component;
    QPointer<Settings> dialog = new Settings(window, options, component);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (receiver && applyMember)
        connect(dialog, SIGNAL(applyRequest()), receiver, applyMember);
    dialog->exec();
    return dialog;
}

int Settings::pageCount() const
{
    return stackedWidget->count();
}

int Settings::currentRow() const
{
    return listWidget->currentRow();
}

QWidget *Settings::currentPage() const
{
    QWidget *container = stackedWidget->currentWidget();
    if (!container)
        return nullptr;
    const auto children = container->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    return children.isEmpty() ? nullptr : children.first();
}

Options *Settings::optionsAt(int row) const
{
    return row >= 0 && row < int(pages.size()) ? pages[size_t(row)].set : nullptr;
}

void Settings::on_listWidget_itemSelectionChanged()
{
    const int row = listWidget->currentRow();
    if (row < 0 || row >= stackedWidget->count())
        return;
    stackedWidget->setCurrentIndex(row);
    labelConfigurationName->setText(listWidget->item(row)->text());
}

void Settings::applyPages()
{
    for (const Page &page : pages)
        if (page.apply)
            page.apply();
}

void Settings::on_pushButtonApply_clicked()
{
    applyPages();
    emit applyRequest();
}

void Settings::on_pushButtonOk_clicked()
{
    applyPages();
    emit applyRequest();
    accept();
}

void Settings::on_pushButtonCancel_clicked()
{
    reject();
}
