// SPDX-License-Identifier: GPL-3.0-only
#include "scope/settingsbinding.h"

#include "scope/scopestate.h"
#include "ui_veltointerface.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSlider>

namespace {
void bind(QAbstractButton *button, bool *field, QObject *context)
{
    *field = button->isChecked();
    QObject::connect(button, &QAbstractButton::toggled, context, [field](bool on) { *field = on; });
}

void bind(QSlider *slider, int *field, QObject *context)
{
    *field = slider->value();
    QObject::connect(slider, &QSlider::valueChanged, context, [field](int value) { *field = value; });
}

void bind(QComboBox *combo, int *field, QObject *context)
{
    *field = combo->currentIndex();
    QObject::connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), context,
                     [field](int index) { *field = index; });
}
} // namespace

void bindScopeSettings(Ui::VeltoInterface *ui, ScopeSettingsRecord *s, QObject *context)
{
    bind(ui->checkBoxCH1Trace, &s->ch1Trace, context);
    bind(ui->checkBoxCH2Trace, &s->ch2Trace, context);
    bind(ui->checkBoxCHDTrace, &s->logicTrace, context);
    QAbstractButton *bits[8] = {ui->checkBoxCHD0, ui->checkBoxCHD1, ui->checkBoxCHD2, ui->checkBoxCHD3,
                                ui->checkBoxCHD4, ui->checkBoxCHD5, ui->checkBoxCHD6, ui->checkBoxCHD7};
    for (int bit = 0; bit < 8; ++bit)
        bind(bits[bit], &s->logicBits[size_t(bit)], context);
    bind(ui->ch1PositionSlider, &s->ch1Position, context);
    bind(ui->ch2PositionSlider, &s->ch2Position, context);
    bind(ui->checkBoxCH1Math, &s->ch1Math, context);
    bind(ui->radioButtonCH1Sub, &s->ch1Subtract, context);
    bind(ui->radioButtonCH1Multiply, &s->ch1Multiply, context);
    bind(ui->checkBoxCH2Math, &s->ch2Math, context);
    bind(ui->radioButtonCH2Sub, &s->ch2Subtract, context);
    bind(ui->radioButtonCH2Multiply, &s->ch2Multiply, context);
    bind(ui->chdPositionSlider, &s->logicPosition, context);
    bind(ui->chdSizeSlider, &s->logicSize, context);
    // Refilled quietly when the instrument's memory changes: ScopeChannels
    // sets the field itself then (bufferCheckMaxSize).
    bind(ui->comboBoxADCBuffer, &s->bufferIndex, context);
    bind(ui->samplingSlider, &s->samplingIndex, context);
    bind(ui->rollMode, &s->rollMode, context);
    s->rollEnabled = ui->rollMode->isEnabled();
    bind(ui->xyMode, &s->xyMode, context);
    bind(ui->checkBoxmeterondev, &s->meterOnDevice, context);
    bind(ui->checkBoxPersistence, &s->persistence, context);
    bind(ui->decaySlider, &s->decay, context);
    bind(ui->checkBoxScopeCursorsHorizontal, &s->horizontalCursors, context);
    bind(ui->comboBoxScopeCursorsHorizontalType, &s->cursorType, context);
    bind(ui->comboBoxScopeCursorsChannel, &s->cursorChannel, context);
    bind(ui->refCH1, &s->referenceCh1, context);
    bind(ui->refCH2, &s->referenceCh2, context);
    bind(ui->refLogic, &s->referenceLogic, context);
    bind(ui->ch1CaptureSlider, &s->ch1Capture, context);
    bind(ui->ch2CaptureSlider, &s->ch2Capture, context);
    bind(ui->chdCaptureSlider, &s->logicCapture, context);
    bind(ui->checkBoxFFTTrace, &s->spectrum, context);
    bind(ui->checkBoxIQFFT, &s->spectrumIq, context);
    bind(ui->checkBoxFFTCH1, &s->spectrumCh1, context);
    bind(ui->checkBoxFFTCH2, &s->spectrumCh2, context);
    bind(ui->checkBoxLogY, &s->spectrumLogY, context);
}
