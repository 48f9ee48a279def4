#include "busywindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

#include <thread>

namespace BusyWindow {

QString derive(QWidget *window, const std::function<QString()> &derive)
{
    const QPointer<QWidget> focus = window->focusWidget();
    window->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop loop;
    QString result;
    std::thread worker([&] {
        result = derive();
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    QApplication::restoreOverrideCursor();
    window->setEnabled(true);
    if (focus)
        focus->setFocus();
    return result;
}

}
