#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

namespace Ui { class listdialog; }

// Values the profile routines fill for the windows.
extern QString profile_list_text;   // the file's lines in reverse order, joined by blanks
extern QString profile_line_text;   // the last line read; null after a complete read
extern QStringList profile_lines;   // the file's lines in file order

// Reads the profile file into the values above. Returns false, leaving them as the caller set
// them, when the file cannot be opened.
bool readProfileValues();

// Reads the profile file for the retrieve dialog.
void Read();

// Lists the saved profiles; "Retrieve" hands the chosen one to the main window through
// pword_length, pword_identifier, retrieved_identifier and pword_scheme and accepts the dialog.
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
