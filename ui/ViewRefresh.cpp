#include "ui/ViewRefresh.h"

#include "ui/PromptService.h"

#include <QBoxLayout>
#include <QLabel>
#include <QWidget>

namespace {

const QString kLineName = QStringLiteral("ViewNotCurrent");

QLabel *Line(const QWidget &view)
{
    return view.findChild<QLabel *>(kLineName, Qt::FindDirectChildrenOnly);
}

} // namespace

namespace ViewRefresh {

void Failed(QWidget &view, const std::function<QString(int)> &text, const std::exception &error)
{
    ShowMessage(&view, QMessageBox::Warning, text(TextCaption), text(TextFailed).arg(QString::fromUtf8(error.what())));
    QLabel *line = Line(view);
    if (!line) {
        line = new QLabel(&view);
        line->setObjectName(kLineName);
        line->setWordWrap(true);
        line->setMargin(4);
        line->setStyleSheet(QStringLiteral("background: #FFF4C2; color: #5A4600;"));
        if (auto *box = qobject_cast<QBoxLayout *>(view.layout())) {
            box->insertWidget(0, line);
        } else {
            // A view without a column of its own: the line lies over its top edge.
            line->setGeometry(0, 0, view.width(), line->sizeHint().height());
            line->raise();
        }
    }
    line->setText(text(TextNotCurrent));
    line->show();
}

void Succeeded(QWidget &view)
{
    if (QLabel *line = Line(view))
        line->hide();
}

bool NotCurrent(const QWidget &view)
{
    const QLabel *line = Line(view);
    return line && !line->isHidden();
}

} // namespace ViewRefresh
