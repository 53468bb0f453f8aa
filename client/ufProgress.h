// The small start-up progress window: a bar and, in one layout, a caption line under it.
// Borderless, sky-blue, above other windows, centred on the screen; always opaque.
#pragma once

#include "client/uxBaseForm.h"

#include "client/api/HostInterfaces.h"

class QLabel;
class QProgressBar;

class TfProgress : public TxBaseForm, public Quorva::IStyleForm
{
    Q_OBJECT
public:
    static constexpr int Width = 231;
    static constexpr int HeightWithCaption = 40;
    static constexpr int HeightBarOnly = 21;

    explicit TfProgress(QWidget *parent = nullptr);

    // 1 shows the caption line under the bar; any other style the bar alone.
    void SetProgressLayout(quint8 style);
    // Sets caption and position (0 to 100), repaints and lets pending events run.
    void Progress(int position, const QString &text);

    int Position() const;
    QString Caption() const;
    bool CaptionShown() const;

    // Quorva::IStyleForm: this window keeps its own look.
    bool queryInterface(const QUuid &id, void **object) override { return QorQueryInterface<Quorva::IStyleForm>(this, id, object); }
    int addRef() override { return 1; }
    int release() override { return 1; }
    void SetLookAndFeel(quint8) override {}

protected:
    void showEvent(QShowEvent *event) override;

private:
    QProgressBar *m_bar;
    QLabel *m_label;
};
