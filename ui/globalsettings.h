// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QWidget>

class GlobalOptions;

// The page of settings that belong to no instrument. Nothing on it is editable yet.
class GlobalSettings : public QWidget
{
    Q_OBJECT
public:
    GlobalSettings(QWidget *parent, GlobalOptions *options);

    void loadOptions() {}
    void applyOptions() {}

private:
    GlobalOptions *options;
};
