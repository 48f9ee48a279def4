#pragma once

#include <QObject>
#include <QStringList>
#include <QVector>

#include <functional>

class QLineEdit;
class QListWidget;
class QListWidgetItem;

// What the retrieve and delete dialogs share about their list: the rows, sorted, under a filter
// field that is focused when the dialog opens. Each row shows as a person reads it (the
// identifier and a short description of its scheme and settings, ProfileFile::rowLabel), with
// the whole line as its tooltip; the dialog is made wide enough for its longest row, up to two
// thirds of the screen. Typing narrows the rows to those whose line or description contains
// the text (upper or lower case alike) and makes the first match current. Enter in the field or
// the list runs `onEnter`, and goes no further: the dialog's buttons answer Enter only when they
// have the focus.
class ProfileRows : public QObject
{
    Q_OBJECT

public:
    ProfileRows(QLineEdit *filter, QListWidget *list, const QStringList &rows, std::function<void()> onEnter);

    // The profile line an item of the list stands for.
    static QString rowOf(const QListWidgetItem *item);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show(const QString &text);
    void fill(const QVector<int> &indexes);
    void fitWidth();

    QLineEdit *filter;
    QListWidget *list;
    QStringList rows;
    QStringList labels;
    QString shownFor;
    QVector<int> shown;   // the indexes of the rows shown
    std::function<void()> onEnter;
};
