// The picture a contacts dialog takes from a file: kept as JPEG, whatever the file held.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFileDialog>
#include <QImage>

#include <optional>
#include <stdexcept>
#include <utility>

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
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return std::make_pair(std::move(image), std::move(jpeg));
}
