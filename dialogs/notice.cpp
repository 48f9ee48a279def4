#include "notice.h"

#include <QTextDocument>
#include <QTextEdit>

#include <cmath>

notice::notice(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
{
}

void notice::run()
{
    setModal(true);
    fitToText();
    exec();
}

void notice::fitToText()
{
    // As tall as its text at its width, no taller: one short line is no large white frame.
    auto *text = findChild<QTextEdit *>();
    if (!text)
        return;
    ensurePolished();
    const int width = text->width() > 0 ? text->width() : this->width() - 24;
    QTextDocument *document = text->document();
    document->setTextWidth(width - 2 * text->frameWidth() - 8);
    const int needed = int(std::ceil(document->size().height())) + 2 * text->frameWidth() + 8;
    text->setFixedHeight(needed);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    resize(this->width(), sizeHint().height());
}

void notice::on_pushButton_clicked()
{
    close();
}
