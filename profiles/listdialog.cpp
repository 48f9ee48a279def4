#include "listdialog.h"
#include "ui_listdialog.h"

#include "notices.h"
#include "profilefile.h"
#include "profilerows.h"
#include "profilestate.h"

#include <QDebug>

void Read()
{
    if (readProfileValues() == ProfileFile::ReadStatus::Read)
        qDebug() << profile_list_text;
}

listdialog::listdialog(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags()), ui(new Ui::listdialog)
{
    ui->setupUi(this);
    qDebug() << "Listdialog called - Was designed as Retrieve function";
    profile_list_text = QString("");
    Read();
    ui->listWidget->clear();

    // The rows come sorted by the list widget's own comparison of item texts, so the widget
    // needs no sort of its own (which costs a fifth of a second for 100,000 rows). Enter and a
    // double-click on a row retrieve it, as the button does.
    const QStringList rows = ProfileFile::rows(profile_lines);
    qDebug() << rows;
    new ProfileRows(ui->filteredit, ui->listWidget, rows, [this] { on_pushButton_clicked(); });
    connect(ui->listWidget, &QListWidget::itemDoubleClicked, this, &listdialog::on_pushButton_clicked);
    profile_list_text = QString("");
    qDebug() << "changing current row to zero before delete button - will first item show?";
    ui->listWidget->setCurrentRow(0);
}

listdialog::~listdialog()
{
    delete ui;
}

void listdialog::on_pushButton_clicked()
{
    qDebug() << "retrieve button is signaling";
    qDebug() << "listwidget string as read select and click";
    const QListWidgetItem *item = ui->listWidget->currentItem();
    if (!item) {
        reject();   // nothing chosen: the main window stays as it is
        return;
    }
    const QString row = ProfileRows::rowOf(item);
    qDebug() << "value of mytmp immediately after conversion to text";
    qDebug() << row;
    qDebug() << "identify postion of | in mytmp qstring";
    const int bar = row.indexOf(QLatin1String("|"), 0, Qt::CaseSensitive);
    qDebug() << bar;
    qDebug() << "parse pwlength and convert to integer";
    qDebug() << row.mid(bar + 1, 2);

    const ProfileFile::Profile profile = ProfileFile::parseRow(row);
    if (!profile.readable) {
        qDebug() << "the profile line cannot be read, nothing was retrieved";
        badprofile::showReason(Recipe::lineProblem(row));
        return;
    }
    pword_length = profile.recipe.length;
    qDebug() << "passlength integer value";
    qDebug() << pword_length;
    qDebug() << "output qstring tempidentifier of text string";
    qDebug() << profile.identifier();
    retrieved_identifier = profile.identifier();
    pword_identifier = retrieved_identifier;
    pword_recipe = profile.recipe;
    accept();
}

void listdialog::on_pushButton_2_clicked()
{
    close();
}
