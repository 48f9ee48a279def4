#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QLineEdit;
class QListWidget;

// What the retrieve and delete dialogs share about their list: the rows, sorted, under a filter
// field that is focused when the dialog opens. Typing narrows the rows to those that contain
// the text (upper or lower case alike) and makes the first match current. Enter in the field
// or the list runs `onEnter`, and goes no further: the dialog's buttons answer Enter only when
// they have the focus.
class ProfileRows : public QObject
{
    Q_OBJECT

public:
    ProfileRows(QLineEdit *filter, QListWidget *list, const QStringList &rows, std::function<void()> onEnter);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show(const QString &text);

    QLineEdit *filter;
    QListWidget *list;
    QStringList all;
    QString shownFor;
    QStringList shownRows;
    std::function<void()> onEnter;
};
