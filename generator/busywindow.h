#pragma once

#include <QString>

#include <functional>

class QWidget;

// Slow work in the window, as KeePassXC locks its window: the whole window disabled, so that no
// click, key, shortcut or screen reader's press reaches a button until it is done, and the work on
// a worker thread, so that the window still paints.
namespace BusyWindow {

// Runs `derive` on a worker while the window is disabled, and gives its result; the focus goes
// back where it was.
QString derive(QWidget *window, const std::function<QString()> &derive);

}
