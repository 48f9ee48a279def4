#include "idlewatch.h"

#include <QCoreApplication>
#include <QEvent>

IdleWatch::IdleWatch(int idleMs, QObject *parent) : QObject(parent)
{
    timer.setSingleShot(true);
    timer.setInterval(idleMs);
    connect(&timer, &QTimer::timeout, this, &IdleWatch::idle);
    timer.start();
    QCoreApplication::instance()->installEventFilter(this);
}

IdleWatch::~IdleWatch()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool IdleWatch::eventFilter(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        timer.start();
        break;
    default:
        break;
    }
    return false;
}
