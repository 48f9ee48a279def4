#include "deletedialog.h"
#include "ui_deletedialog.h"

#include "notices.h"
#include "profilefile.h"
#include "profilerows.h"
#include "profilestate.h"

#include <QDebug>

deletedialog::deletedialog(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags()), ui(new Ui::deletedialog)
{
    ui->setupUi(this);
    profile_delete_list.clear();
    profile_list_text = QString("");
    readProfileValues();
    ui->listWidget->clear();
    profile_delete_list = profile_lines;

    qDebug() << "Now build listwidget view and sort";
    // Sorted as the list widget itself would sort them (see listdialog). Deleting stays a
    // deliberate press of its button: neither Enter in the list nor a double-click deletes.
    new ProfileRows(ui->filteredit, ui->listWidget, ProfileFile::rows(profile_delete_list), nullptr);
    qDebug() << "number of rows or entries in listwidget";
    qDebug() << ui->listWidget->count();
    qDebug() << "listview rowvalue when deletedialog called - but before delete button pressed";
    qDebug() << ui->listWidget->currentRow();
    qDebug() << "changing current row to zero before delete button - will first item show?";
    ui->listWidget->setCurrentRow(0);
    qDebug() << ui->listWidget->currentRow();
    qDebug() << "show current index of listview";
}

deletedialog::~deletedialog()
{
    delete ui;
}

void deletedialog::on_deletebutton_clicked()
{
    qDebug() << "currentRow value immediately after delete button pressed";
    qDebug() << ui->listWidget->currentRow();
    const QListWidgetItem *item = ui->listWidget->currentItem();
    if (!item) {
        qDebug() << "Message - Item must first be selected";
        close();
        return;
    }
    const QString row = ProfileRows::rowOf(item);
    qDebug() << row;
    const ProfileFile::RemoveResult result = ProfileFile::remove(profile_file_path, row);
    if (result == ProfileFile::RemoveResult::Failed || result == ProfileFile::RemoveResult::Busy
        || result == ProfileFile::RemoveResult::Unusable) {
        qDebug() << "the profile file could not be rewritten; it was left as it was";
        if (result == ProfileFile::RemoveResult::Busy)
            showNotice<filebusy>();
        else if (result == ProfileFile::RemoveResult::Unusable)
            showNotice<notread>();
        else
            showNotice<notdeleted>();
        close();
        return;
    }
    profile_delete_list.removeAll(row);
    deletedRow = row;
    qDebug() << "stringlist after replace-delete entry";
    qDebug() << profile_delete_list;
    close();
}

void deletedialog::on_pushButton_clicked()
{
    close();
}
