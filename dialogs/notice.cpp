#include "notice.h"

notice::notice(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
{
}

void notice::run()
{
    setModal(true);
    exec();
}

void notice::on_pushButton_clicked()
{
    close();
}
