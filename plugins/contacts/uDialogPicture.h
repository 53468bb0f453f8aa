// The picture a contacts dialog takes from a file: kept as JPEG, whatever the file held.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QEvent>
#include <QFileDialog>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <functional>

#include <optional>
#include <stdexcept>
#include <utility>

// The picture as JPEG bytes; throws when it cannot be written (no picture is then stored).
inline QByteArray PictureAsJpeg(const QImage &image)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPG") || jpeg.isEmpty())
        throw std::runtime_error("the picture could not be written as JPEG");
    return jpeg;
}

// The chosen picture and its JPEG bytes; nothing when the user cancels. Throws for a file that
// is not a picture.
inline std::optional<std::pair<QImage, QByteArray>> ChoosePictureAsJpeg(QWidget *parent, const QString &title)
{
    const QString file = QFileDialog::getOpenFileName(parent, title, QString(), QStringLiteral("*.jpg *.jpeg *.png"));
    if (file.isEmpty())
        return std::nullopt;
    QImage image(file);
    if (image.isNull())
        throw std::runtime_error(QStringLiteral("%1 is not a picture").arg(file).toStdString());
    return std::make_pair(image, PictureAsJpeg(image));
}

// A click on the picture itself chooses one, as its button does.
class TPictureClick : public QObject
{
public:
    TPictureClick(QWidget *picture, std::function<void()> choose) : QObject(picture), m_choose(std::move(choose))
    {
        picture->installEventFilter(this);
        picture->setCursor(Qt::PointingHandCursor);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            m_choose();
            return true;
        }
        return false;
    }

private:
    std::function<void()> m_choose;
};
