#pragma once

#include <QByteArray>
#include <QStringList>

// The EFF's large word list (7,776 words; generator/password/words/README.md), compiled into the core: the
// words of passphrases. Never changed: every passphrase given out depends on its exact order.
namespace WordList {

constexpr int size = 7776;

// The list's text as compiled in, every word followed by LF.
QByteArray text();
// The words, in the list's order; empty if the resource is missing (then no passphrase is made).
const QStringList &words();

}
