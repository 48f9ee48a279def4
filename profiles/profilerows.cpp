#include "profilerows.h"

#include "profilefile.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>

#include <algorithm>
#include <numeric>

ProfileRows::ProfileRows(QLineEdit *filterEdit, QListWidget *listWidget, const QStringList &all,
                         std::function<void()> enter)
    : QObject(listWidget), filter(filterEdit), list(listWidget), rows(all), onEnter(std::move(enter))
{
    labels.reserve(rows.size());
    for (const QString &row : rows)
        labels.append(ProfileFile::rowLabel(row));
    shown.resize(rows.size());
    std::iota(shown.begin(), shown.end(), 0);
    // Rows of one height let the list lay out 100,000 of them at once.
    list->setUniformItemSizes(true);
    fill(shown);
    fitWidth();
    filter->installEventFilter(this);
    list->installEventFilter(this);
    connect(filter, &QLineEdit::textChanged, this, &ProfileRows::show);
    filter->setFocus();
}

QString ProfileRows::rowOf(const QListWidgetItem *item)
{
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void ProfileRows::fill(const QVector<int> &indexes)
{
    list->setUpdatesEnabled(false);
    list->clear();
    for (const int i : indexes) {
        auto *item = new QListWidgetItem(labels.at(i));
        item->setData(Qt::UserRole, rows.at(i));
        item->setToolTip(rows.at(i));
        list->addItem(item);
    }
    list->setUpdatesEnabled(true);
}

void ProfileRows::fitWidth()
{
    // Measured on the longest texts only: the width of 100,000 rows is that of their longest.
    QStringList longest = labels;
    std::partial_sort(longest.begin(), longest.begin() + qMin(20, longest.size()), longest.end(),
                      [](const QString &a, const QString &b) { return a.size() > b.size(); });
    int needed = 0;
    for (int i = 0; i < qMin(20, longest.size()); ++i)
        needed = qMax(needed, list->fontMetrics().horizontalAdvance(longest.at(i)));
    QWidget *dialog = list->window();
    const QScreen *screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
    const int limit = screen ? screen->availableGeometry().width() * 2 / 3 : 1024;
    // The list's frame, its scroll bar and the dialog's margins come on top of the text.
    const int extra = dialog->width() - list->viewport()->width() + 2 * list->frameWidth() + 24;
    const int width = qMin(limit, needed + extra);
    if (width <= dialog->width())
        return;
    // The original dialogs are kept narrow; a row they would cut off widens them.
    dialog->setMaximumWidth(qMax(dialog->maximumWidth(), width));
    dialog->resize(width, dialog->height());
}

void ProfileRows::show(const QString &text)
{
    // A longer text can only narrow what the shorter one matched.
    const bool narrower = !shownFor.isEmpty() && text.startsWith(shownFor, Qt::CaseInsensitive);
    QVector<int> matches;
    if (narrower || !text.isEmpty()) {
        QVector<int> from = shown;
        if (!narrower) {
            from.resize(rows.size());
            std::iota(from.begin(), from.end(), 0);
        }
        for (const int i : qAsConst(from)) {
            if (rows.at(i).contains(text, Qt::CaseInsensitive) || labels.at(i).contains(text, Qt::CaseInsensitive))
                matches.append(i);
        }
    } else {
        matches.resize(rows.size());
        std::iota(matches.begin(), matches.end(), 0);
    }
    shownFor = text;
    // The same rows as shown: the list stays as it is.
    if (matches != shown) {
        shown = std::move(matches);
        fill(shown);
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
