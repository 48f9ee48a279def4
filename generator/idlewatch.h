#pragma once

#include <QObject>
#include <QTimer>

// Says when nobody has used the program for a while: every key and mouse input anywhere in it
// starts the wait again.
class IdleWatch : public QObject
{
    Q_OBJECT

public:
    IdleWatch(int idleMs, QObject *parent);
    ~IdleWatch() override;

    int interval() const { return timer.interval(); }
    // Starts the wait again, as input does.
    void restart() { timer.start(); }

signals:
    void idle();

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    QTimer timer;
};
