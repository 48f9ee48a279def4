#include "profilerows.h"

#include "profilefile.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

ProfileRows::ProfileRows(QLineEdit *filterEdit, QListWidget *listWidget, const QStringList &rows,
                         std::function<void()> enter)
    : QObject(listWidget), filter(filterEdit), list(listWidget), all(rows), shownRows(rows), onEnter(std::move(enter))
{
    // Rows of one height let the list lay out 100,000 of them at once.
    list->setUniformItemSizes(true);
    list->addItems(rows);
    filter->installEventFilter(this);
    list->installEventFilter(this);
    connect(filter, &QLineEdit::textChanged, this, &ProfileRows::show);
    filter->setFocus();
}

void ProfileRows::show(const QString &text)
{
    // A longer text can only narrow what the shorter one matched.
    const bool narrower = !shownFor.isEmpty() && text.startsWith(shownFor, Qt::CaseInsensitive);
    QStringList matches = ProfileFile::filterRows(narrower ? shownRows : all, text);
    shownFor = text;
    // The same rows as shown (a narrower text that drops none): the list stays as it is.
    if (matches.size() != shownRows.size() || (!narrower && matches != shownRows)) {
        shownRows = std::move(matches);
        list->setUpdatesEnabled(false);
        list->clear();
        list->addItems(shownRows);
        list->setUpdatesEnabled(true);
    }
    list->setCurrentRow(0);
}

bool ProfileRows::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    if (onEnter)
        onEnter();
    return true;
}
