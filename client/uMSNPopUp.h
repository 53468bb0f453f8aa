// The popup notifier: short notices in small frameless windows that slide in beside the task
// bar, stack while several are open, slide out after their time-out and report clicks. The
// windows take no focus, so a notice never interrupts typing. Placement and motion are the
// pure functions of uMSNPopUpGeometry.h; this file holds the component and its window.
#pragma once

#include "client/uMSNPopUpGeometry.h"

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QLabel>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QFrame;
class QTimer;
class TfrmMSNPopUp;

enum class TMSNPopUpOption {
    msnAutoOpenURL = 0x01,
    msnSystemFont = 0x02,
    msnCascadePopups = 0x04,
    msnAllowScroll = 0x08,
    msnAllowHyperlink = 0x10,
};
Q_DECLARE_FLAGS(TMSNPopUpOptions, TMSNPopUpOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMSNPopUpOptions)

enum class TBackgroundDrawMethod { dmActualSize, dmTile, dmFit };
// The screen a popup appears on: the primary one, or the one of the main or the active window.
enum class TDefaultMonitor { dmDesktop, dmPrimary, dmMainForm, dmActiveForm };

class TMSNPopUp;

// Everything a popup window copies from its component when it is made.
struct TMSNPopUpSettings
{
    static constexpr TMSNPopUpOptions DefaultOptions{TMSNPopUpOption::msnAutoOpenURL, TMSNPopUpOption::msnCascadePopups,
                                                     TMSNPopUpOption::msnAllowScroll, TMSNPopUpOption::msnAllowHyperlink};
    static constexpr int MinScrollSpeed = 1;
    static constexpr int MaxScrollSpeed = 50;

    TMSNPopUpSettings();

    QString Text = QStringLiteral("text");
    QString URL = QStringLiteral("http://www.example.com/");
    QPixmap IconBitmap;
    int IconLeft = 8;
    int IconTop = 8;
    int TimeOut = 10; // seconds
    int Width = 250;
    int Height = 200;
    QColor GradientColor1 = QColor(0x99, 0xCC, 0xFF);
    QColor GradientColor2 = QColor(Qt::white);
    MSNPopUpGeometry::TGradientOrientation GradientOrientation = MSNPopUpGeometry::TGradientOrientation::mbVertical;
    int ScrollSpeed = 9; // pixels a step, 1 to 50
    QFont Font;
    QColor FontColor = QColor(Qt::black);
    QFont HoverFont;
    QColor HoverFontColor = QColor(Qt::blue);
    QFont TitleFont;
    QColor TitleFontColor = QColor(Qt::black);
    QString Title = QStringLiteral("title");
    TMSNPopUpOptions Options = DefaultOptions;
    Qt::Alignment TextAlignment = Qt::AlignHCenter;
    TBackgroundDrawMethod BackgroundDrawMethod = TBackgroundDrawMethod::dmActualSize;
    Qt::CursorShape TextCursor = Qt::ArrowCursor;
    int PopupMarge = 2;
    int PopupStartX = 16;
    int PopupStartY = 2;
    TDefaultMonitor DefaultMonitor = TDefaultMonitor::dmActiveForm;
    QPixmap BackgroundImage;
    // sender: the component, or the window for a click on the text without hyperlinks.
    std::function<void(QObject *sender)> OnClick;
    // sender: the window; url: its URL text.
    std::function<void(QObject *sender, const QString &url)> OnURLClick;

    MSNPopUpGeometry::TPopupBox Box() const { return {Width, Height, PopupStartX, PopupStartY}; }
    int Speed() const { return qBound(MinScrollSpeed, ScrollSpeed, MaxScrollSpeed); }
};

class TMSNPopUp : public QObject
{
    Q_OBJECT
public:
    // The screen and its work area (the screen without its panels).
    struct TScreenArea
    {
        QRect Screen;
        QRect WorkArea;
    };
    using ScreenAreaSource = std::function<std::optional<TScreenArea>()>;
    using URLOpener = std::function<bool(const QString &url)>;

    // With msnSystemFont in options the three fonts take the face of the system's font.
    explicit TMSNPopUp(QObject *owner = nullptr, TMSNPopUpOptions options = TMSNPopUpSettings::DefaultOptions);
    ~TMSNPopUp() override;

    TMSNPopUpSettings &Settings() { return m_settings; }
    const TMSNPopUpSettings &Settings() const { return m_settings; }

    // Shows a popup with the current settings; false when the work area has no room for it.
    bool ShowPopUp();

    // Where the screen's geometry comes from (the screen of DefaultMonitor unless set).
    void SetScreenAreaSource(ScreenAreaSource source) { m_screenArea = std::move(source); }
    std::optional<TScreenArea> ScreenArea() const;
    // What opens a clicked URL with msnAutoOpenURL (the desktop's default program unless set).
    void SetURLOpener(URLOpener opener) { m_openURL = std::move(opener); }
    const URLOpener &Opener() const { return m_openURL; }

    int OpenCount() const { return m_stack.OpenCount(); }
    // The popups shown and not yet closed for good, oldest first.
    QList<TfrmMSNPopUp *> Windows() const;

private:
    friend class TfrmMSNPopUp;
    void PopupClosed(TfrmMSNPopUp *window);

    TMSNPopUpSettings m_settings;
    MSNPopUpGeometry::TPopupStack m_stack;
    ScreenAreaSource m_screenArea;
    URLOpener m_openURL;
    QList<QPointer<TfrmMSNPopUp>> m_windows;
};

// The popup's text: a label that tells when the mouse enters and leaves it and reports its clicks.
class TMouseLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TMouseLabel(QWidget *parent = nullptr);

signals:
    void mouseEntered();
    void mouseLeft();
    void released(Qt::MouseButton button);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// One popup: built in code, placed at its stacking offset, sliding in, waiting its time-out,
// sliding out. It frees itself when it closes for good.
class TfrmMSNPopUp : public QWidget
{
    Q_OBJECT
public:
    enum class TPhase { SlidingIn, Shown, SlidingOut, Closed };

    TfrmMSNPopUp(TMSNPopUp &component, const TMSNPopUpSettings &settings, MSNPopUpGeometry::TTaskBarEdge edge,
                 const QRect &workArea, int offset);
    ~TfrmMSNPopUp() override;

    // Sizes, places, paints and shows the popup without activating it.
    void Popup();

    TPhase Phase() const { return m_phase; }
    int Offset() const { return m_offset; }
    // The rectangle at full size (none for an unknown edge).
    std::optional<QRect> FullGeometry() const { return m_full; }
    QString URL() const { return m_settings.URL; }
    TMouseLabel *lblText() const { return m_text; }
    QLabel *lblTitle() const { return m_title; }
    QTimer *tmrExit() const { return m_exit; }
    QTimer *tmrScroll() const { return m_scroll; }
    QTimer *tmrscrollDown() const { return m_scrollDown; }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void PaintBackground();
    void LayOutText(const QFont &font, const QColor &colour);
    void tmrScrollTimer();
    void tmrExitTimer();
    void tmrscrollDownTimer();
    void TextReleased(Qt::MouseButton button);
    void TextEntered();
    void TextLeft();
    // Hides, runs the click's handler, then closes for good.
    void Clicked(const std::function<void()> &handler);

    QPointer<TMSNPopUp> m_component;
    TMSNPopUpSettings m_settings;
    MSNPopUpGeometry::TTaskBarEdge m_edge;
    QRect m_workArea;
    int m_offset;
    std::optional<QRect> m_full;
    TPhase m_phase = TPhase::SlidingIn;
    bool m_released = false;

    QFrame *m_panel;
    QLabel *m_background;
    TMouseLabel *m_text;
    QLabel *m_title;
    QTimer *m_exit;
    QTimer *m_scroll;
    QTimer *m_scrollDown;
};
