#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

namespace Ui { class listdialog; }

// Reads the profile file for the retrieve dialog into the hand-over values (profilestate.h).
void Read();

// Lists the saved profiles; "Retrieve" hands the chosen one to the main window through
// pword_length, pword_identifier, retrieved_identifier and pword_recipe
// and accepts the dialog; a line that does not read as a profile gets a notice instead.
class listdialog : public QDialog
{
    Q_OBJECT

public:
    explicit listdialog(QWidget *parent = nullptr);
    ~listdialog() override;

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();

private:
    Ui::listdialog *ui;
};
