// A side panel of the main window: a dock with a caption, a pin that switches auto-hide and a
// button that hides it. An auto-hiding panel folds to a narrow strip when the mouse leaves it
// and opens again when the mouse comes back.
#pragma once

#include <QDockWidget>

class QLabel;
class QTimer;
class QToolButton;

class TDockPanel : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int StripWidth = 26;
    static constexpr int FoldDelayMs = 600;

    TDockPanel(const QString &objectName, QWidget *parent = nullptr);

    void SetContent(QWidget *content);
    void SetCaption(const QString &caption, const QString &hint);
    QString Caption() const;

    bool AutoHide() const { return m_autoHide; }
    void SetAutoHide(bool on);
    // Folded to its strip (only while auto-hiding).
    bool Folded() const { return m_folded; }
    void SetFolded(bool folded);

    QToolButton *btnPin() const { return m_btnPin; }
    QToolButton *btnHide() const { return m_btnHide; }

signals:
    void autoHideChanged(bool on);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QWidget *m_title;
    QLabel *m_caption;
    QToolButton *m_btnPin;
    QToolButton *m_btnHide;
    QWidget *m_content = nullptr;
    QTimer *m_foldTimer;
    bool m_autoHide = false;
    bool m_folded = false;
    int m_openWidth = 0;
};
