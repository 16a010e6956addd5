#pragma once

#include <QObject>

// The scope's option set. The window reads the stored theme number into it at start.
class ScopeOptions : public QObject
{
    Q_OBJECT
public:
    explicit ScopeOptions(QObject *parent = nullptr) : QObject(parent) {}

    int theme = 0;
};
