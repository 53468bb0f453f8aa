// Tolvik's splash window: borderless, partly transparent, centred, without a taskbar entry.
#pragma once

#include <QWidget>

class QLabel;

class TfSplash : public QWidget
{
    Q_OBJECT
public:
    explicit TfSplash(QWidget *parent = nullptr);

    QLabel *NameLabel() const { return m_name; }
    QLabel *VersionLabel() const { return m_version; }
    QLabel *ProductInfoLabel() const { return m_productInfo; }
    QLabel *ProgressLabel() const { return m_progressLabel; }

private:
    QLabel *m_name;
    QLabel *m_version;
    QLabel *m_productInfo;
    QLabel *m_progressLabel;
};
