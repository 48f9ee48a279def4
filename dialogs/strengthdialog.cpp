#include "strengthdialog.h"
#include "ui_strengthdialog.h"

strengthdialog::strengthdialog(QWidget *parent) : notice(parent), ui(new Ui::strengthdialog)
{
    ui->setupUi(this);
}

strengthdialog::~strengthdialog()
{
    delete ui;
}

void strengthdialog::setPhraseStrength(const QString &text)
{
    ui->phraseresult->setText(text);
}

void strengthdialog::setPasswordStrength(const QString &text)
{
    ui->passwordresult->setText(text);
}
