#pragma once

#include <QDialog>
#include <QStringList>

namespace Ui { class deletedialog; }

// Lists the saved profiles; "Delete" removes every line equal to the chosen row from the file.
class deletedialog : public QDialog
{
    Q_OBJECT

public:
    explicit deletedialog(QWidget *parent = nullptr);
    ~deletedialog() override;

    // The line deleted, if one was.
    QString deleted() const { return deletedRow; }

private slots:
    void on_deletebutton_clicked();
    void on_pushButton_clicked();

private:
    Ui::deletedialog *ui;
    QString deletedRow;
};
