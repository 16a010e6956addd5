// SPDX-License-Identifier: GPL-3.0-only
#pragma once

class QObject;
struct ScopeSettingsRecord;
namespace Ui {
class VeltoInterface;
}

// Keeps the scope's settings record in step with its controls: each field
// takes the control's value now and at every change, also a change a
// program makes, so that the display tick reads the record, never a widget.
void bindScopeSettings(Ui::VeltoInterface *ui, ScopeSettingsRecord *settings, QObject *context);
