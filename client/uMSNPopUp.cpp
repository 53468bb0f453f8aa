#include "client/uMSNPopUp.h"

#include "foundation/uCommon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <utility>

using namespace MSNPopUpGeometry;

namespace {

constexpr int kScrollStepMs = 25;
constexpr int kExitAtCreationMs = 10000;
constexpr int kBevelWidth = 2;
constexpr int kTitleTop = 8;
constexpr int kTitleLeft = 48;
constexpr int kTitleLeftWithoutIcon = 8;
constexpr int kTextMargin = 15;
constexpr int kTitleFontSize = 12;

QScreen *screenOf(TDefaultMonitor monitor)
{
    QWidget *window = nullptr;
    if (monitor == TDefaultMonitor::dmActiveForm)
        window = QApplication::activeWindow();
    if (monitor == TDefaultMonitor::dmMainForm || (monitor == TDefaultMonitor::dmActiveForm && !window))
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<QMainWindow *>(top) && top->isVisible()) {
                window = top;
                break;
            }
    if (window && window->screen())
        return window->screen();
    return QGuiApplication::primaryScreen();
}

} // namespace

TMSNPopUpSettings::TMSNPopUpSettings()
{
    HoverFont.setUnderline(true);
    TitleFont.setBold(true);
    TitleFont.setPointSize(kTitleFontSize);
}

// --- component ---------------------------------------------------------------------------------

TMSNPopUp::TMSNPopUp(QObject *owner, TMSNPopUpOptions options) : QObject(owner), m_openURL(&OpenURL)
{
    m_settings.Options = options;
    if (options.testFlag(TMSNPopUpOption::msnSystemFont)) {
        const QString face = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
        m_settings.Font.setFamily(face);
        m_settings.HoverFont.setFamily(face);
        m_settings.TitleFont.setFamily(face);
    }
}

TMSNPopUp::~TMSNPopUp()
{
    // Each window tells this component when it goes, so the list is emptied first.
    const QList<QPointer<TfrmMSNPopUp>> windows = std::exchange(m_windows, {});
    for (const QPointer<TfrmMSNPopUp> &window : windows)
        delete window.data();
}

std::optional<TMSNPopUp::TScreenArea> TMSNPopUp::ScreenArea() const
{
    if (m_screenArea)
        return m_screenArea();
    QScreen *screen = screenOf(m_settings.DefaultMonitor);
    if (!screen)
        return std::nullopt;
    return TScreenArea{screen->geometry(), screen->availableGeometry()};
}

bool TMSNPopUp::ShowPopUp()
{
    const std::optional<TScreenArea> area = ScreenArea();
    const TTaskBarEdge edge = area ? EdgeOf(area->Screen, area->WorkArea) : TTaskBarEdge::None;
    const QRect workArea = area ? area->WorkArea : QRect();
    const std::optional<int> offset =
        m_stack.Reserve(edge, workArea, m_settings.Box(), m_settings.PopupMarge,
                        m_settings.Options.testFlag(TMSNPopUpOption::msnCascadePopups));
    if (!offset)
        return false;
    auto *window = new TfrmMSNPopUp(*this, m_settings, edge, workArea, *offset);
    m_windows << window;
    window->Popup();
    return true;
}

QList<TfrmMSNPopUp *> TMSNPopUp::Windows() const
{
    QList<TfrmMSNPopUp *> open;
    for (const QPointer<TfrmMSNPopUp> &pointer : m_windows)
        if (TfrmMSNPopUp *window = pointer.data(); window && window->Phase() != TfrmMSNPopUp::TPhase::Closed)
            open << window;
    return open;
}

void TMSNPopUp::PopupClosed(TfrmMSNPopUp *window)
{
    m_stack.Release();
    m_windows.removeAll(window);
}

// --- text label ---------------------------------------------------------------------------------

TMouseLabel::TMouseLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAttribute(Qt::WA_TranslucentBackground);
}

void TMouseLabel::enterEvent(QEnterEvent *event)
{
    QLabel::enterEvent(event);
    setCursor(Qt::PointingHandCursor);
    emit mouseEntered();
}

void TMouseLabel::leaveEvent(QEvent *event)
{
    QLabel::leaveEvent(event);
    unsetCursor();
    emit mouseLeft();
}

void TMouseLabel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void TMouseLabel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    emit released(event->button());
}

// --- window -------------------------------------------------------------------------------------

TfrmMSNPopUp::TfrmMSNPopUp(TMSNPopUp &component, const TMSNPopUpSettings &settings, TTaskBarEdge edge, const QRect &workArea,
                           int offset)
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
    , m_component(&component)
    , m_settings(settings)
    , m_edge(edge)
    , m_workArea(workArea)
    , m_offset(offset)
    , m_panel(new QFrame(this))
    , m_background(new QLabel(m_panel))
    , m_text(new TMouseLabel(m_panel))
    , m_title(new QLabel(m_panel))
    , m_exit(new QTimer(this))
    , m_scroll(new QTimer(this))
    , m_scrollDown(new QTimer(this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panel->setLineWidth(kBevelWidth);
    m_title->setObjectName(QStringLiteral("lblTitle"));
    m_title->setAttribute(Qt::WA_TranslucentBackground);
    m_title->setTextFormat(Qt::PlainText);
    m_text->setObjectName(QStringLiteral("lblText"));
    m_exit->setInterval(kExitAtCreationMs);
    m_exit->setSingleShot(true);
    m_scroll->setInterval(kScrollStepMs);
    m_scrollDown->setInterval(kScrollStepMs);
    connect(m_exit, &QTimer::timeout, this, &TfrmMSNPopUp::tmrExitTimer);
    connect(m_scroll, &QTimer::timeout, this, &TfrmMSNPopUp::tmrScrollTimer);
    connect(m_scrollDown, &QTimer::timeout, this, &TfrmMSNPopUp::tmrscrollDownTimer);
    connect(m_text, &TMouseLabel::released, this, &TfrmMSNPopUp::TextReleased);
    connect(m_text, &TMouseLabel::mouseEntered, this, &TfrmMSNPopUp::TextEntered);
    connect(m_text, &TMouseLabel::mouseLeft, this, &TfrmMSNPopUp::TextLeft);
}

TfrmMSNPopUp::~TfrmMSNPopUp()
{
    if (m_component && m_phase != TPhase::Closed)
        m_component->PopupClosed(this);
}

void TfrmMSNPopUp::Popup()
{
    const QSize size(m_settings.Width, m_settings.Height);
    // The contents keep their full size while the window slides: the slide uncovers them.
    m_panel->setGeometry(QRect(QPoint(0, 0), size));
    // Inside the panel's bevel, so that the popup keeps a visible edge on any desktop.
    m_background->setGeometry(m_panel->contentsRect());
    m_text->setCursor(m_settings.TextCursor);
    m_full = Placement(m_edge, m_workArea, m_offset, m_settings.Box());

    m_title->setFont(m_settings.TitleFont);
    QPalette titlePalette = m_title->palette();
    titlePalette.setColor(QPalette::WindowText, m_settings.TitleFontColor);
    m_title->setPalette(titlePalette);
    m_title->setText(m_settings.Title);
    m_title->adjustSize();
    m_title->move(m_settings.IconBitmap.isNull() ? kTitleLeftWithoutIcon : kTitleLeft, kTitleTop);
    m_title->resize(std::min(m_title->width(), size.width() - m_title->x() - kTextMargin), m_title->height());

    PaintBackground();
    m_exit->setInterval(m_settings.TimeOut * 1000);

    QRect start = m_full.value_or(QRect(QPoint(0, 0), size));
    if (m_full && m_settings.Options.testFlag(TMSNPopUpOption::msnAllowScroll))
        start = Collapsed(m_edge, *m_full);
    setGeometry(start);
    if (m_settings.Options.testFlag(TMSNPopUpOption::msnAllowScroll)) {
        m_phase = TPhase::SlidingIn;
        m_scroll->start();
    } else {
        m_phase = TPhase::Shown;
        m_exit->start();
    }
    // Laid out once with each font, so that hovering never moves the text's box.
    LayOutText(m_settings.HoverFont, m_settings.HoverFontColor);
    LayOutText(m_settings.Font, m_settings.FontColor);
    show();
    raise();
}

void TfrmMSNPopUp::PaintBackground()
{
    const QSize size = m_background->size();
    QImage image;
    if (m_settings.BackgroundImage.isNull()) {
        image = Gradient(size, m_settings.GradientColor1, m_settings.GradientColor2, m_settings.GradientOrientation);
    } else {
        image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(palette().color(QPalette::Window));
        QPainter painter(&image);
        switch (m_settings.BackgroundDrawMethod) {
        case TBackgroundDrawMethod::dmActualSize:
            painter.drawPixmap(0, 0, m_settings.BackgroundImage);
            break;
        case TBackgroundDrawMethod::dmTile:
            painter.drawTiledPixmap(QRect(QPoint(0, 0), size), m_settings.BackgroundImage);
            break;
        case TBackgroundDrawMethod::dmFit:
            painter.drawPixmap(QRect(QPoint(0, 0), size), m_settings.BackgroundImage);
            break;
        }
    }
    if (!m_settings.IconBitmap.isNull()) {
        QPainter painter(&image);
        painter.drawPixmap(m_settings.IconLeft, m_settings.IconTop, m_settings.IconBitmap);
    }
    m_background->setPixmap(QPixmap::fromImage(image));
    m_background->lower();
}

void TfrmMSNPopUp::LayOutText(const QFont &font, const QColor &colour)
{
    m_text->setFont(font);
    QPalette textPalette = m_text->palette();
    textPalette.setColor(QPalette::WindowText, colour);
    m_text->setPalette(textPalette);
    m_text->setAlignment(m_settings.TextAlignment | Qt::AlignVCenter);
    m_text->setText(m_settings.Text);
    const int width = m_panel->width() - kTextMargin;
    const int height = std::min(m_text->heightForWidth(width), m_panel->height());
    m_text->setGeometry((m_panel->width() - width) / 2, (m_panel->height() - height) / 2, width, height);
}

void TfrmMSNPopUp::tmrScrollTimer()
{
    if (!m_full)
        return;
    const QRect next = SlideIn(m_edge, geometry(), *m_full, m_settings.Speed());
    setGeometry(next);
    if (next == *m_full) {
        m_scroll->stop();
        m_phase = TPhase::Shown;
        m_exit->start();
    }
}

void TfrmMSNPopUp::tmrExitTimer()
{
    m_exit->stop();
    m_phase = TPhase::SlidingOut;
    m_scrollDown->start();
}

void TfrmMSNPopUp::tmrscrollDownTimer()
{
    const std::optional<QRect> next = SlideOut(m_edge, geometry(), m_settings.Speed());
    if (!next) {
        m_scrollDown->stop();
        close();
        return;
    }
    setGeometry(*next);
}

void TfrmMSNPopUp::TextEntered()
{
    if (m_settings.Options.testFlag(TMSNPopUpOption::msnAllowHyperlink))
        LayOutText(m_settings.HoverFont, m_settings.HoverFontColor);
}

void TfrmMSNPopUp::TextLeft()
{
    if (m_settings.Options.testFlag(TMSNPopUpOption::msnAllowHyperlink))
        LayOutText(m_settings.Font, m_settings.FontColor);
}

void TfrmMSNPopUp::TextReleased(Qt::MouseButton button)
{
    if (button != Qt::LeftButton) {
        Clicked([this] {
            if (m_settings.OnClick)
                m_settings.OnClick(m_component.data());
        });
        return;
    }
    if (!m_settings.Options.testFlag(TMSNPopUpOption::msnAllowHyperlink)) {
        Clicked([this] {
            if (m_settings.OnClick)
                m_settings.OnClick(this);
        });
        return;
    }
    Clicked([this] {
        if (m_settings.OnURLClick)
            m_settings.OnURLClick(this, m_settings.URL);
        if (!m_settings.Options.testFlag(TMSNPopUpOption::msnAutoOpenURL))
            return;
        if (TMSNPopUp *component = m_component.data())
            if (const auto &open = component->Opener())
                open(m_settings.URL);
    });
}

void TfrmMSNPopUp::mouseReleaseEvent(QMouseEvent *event)
{
    // The title, the icon and the background let their clicks through to the window.
    event->accept();
    Clicked([this] {
        if (m_settings.OnClick)
            m_settings.OnClick(m_component.data());
    });
}

void TfrmMSNPopUp::Clicked(const std::function<void()> &handler)
{
    if (m_phase == TPhase::Closed || m_released)
        return;
    m_released = true;
    m_exit->stop();
    m_scroll->stop();
    m_scrollDown->stop();
    hide();
    handler();
    close();
}

void TfrmMSNPopUp::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (m_phase == TPhase::Closed)
        return;
    m_phase = TPhase::Closed;
    if (m_component)
        m_component->PopupClosed(this);
    deleteLater();
}
