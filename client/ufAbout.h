// The about box: a borderless picture with the product's name and the version. Its labels
// appear with the first tick of a short timer that counts up to 255; a click on the picture
// counts back down and closes the box. The window stays opaque throughout.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

class TfAbout : public QDialog
{
    Q_OBJECT
public:
    static constexpr int PictureWidth = 800;
    static constexpr int PictureHeight = 600;
    static constexpr int TickMs = 10;
    static constexpr int Step = 10;

    explicit TfAbout(QWidget *parent = nullptr);

    // The picture's click: the count goes down and the box closes.
    void PictureClick();
    int Value() const { return m_value; }

    QLabel *lblPicture() const { return m_lblPicture; }
    QLabel *lblAbout() const { return m_lblAbout; }
    QLabel *lblVersion() const { return m_lblVersion; }
    QTimer *tmrShow() const { return m_tmrShow; }
    QTimer *tmrHide() const { return m_tmrHide; }

    // The product's picture, drawn for the box.
    static QPixmap Picture();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowTick();
    void HideTick();

    QLabel *m_lblPicture;
    QLabel *m_lblAbout;
    QLabel *m_lblVersion;
    QTimer *m_tmrShow;
    QTimer *m_tmrHide;
    int m_value = Step;
    bool m_shown = false;
};
