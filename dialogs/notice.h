#pragma once

#include <QDialog>

// What every notice and the about box share: a modal window whose "Close" button closes it.
// The button is bound by name to the slot below when the form is set up.
class notice : public QDialog
{
    Q_OBJECT

public:
    explicit notice(QWidget *parent = nullptr);

    // Shows the window modally and returns once the user has closed it.
    void run();
    // Makes the window as tall as its text needs at its width (run() does it first).
    void fitToText();

private slots:
    void on_pushButton_clicked();
};
