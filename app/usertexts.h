#pragma once

#include <QString>

// The texts of the notices that quorvane-cli shows as well, as the user reads them in the
// windows: one paragraph each, the paragraphs of a notice joined by a blank. The windows show
// them through their forms; a test keeps the two equal.
namespace UserTexts {

QString emptySecret();          // emptysecret
QString barInIdentifier();      // inputmsg1
QString invalidIdentifier();    // empty
QString savedAlready();         // savedalready
QString unstorableIdentifier(); // notstorable
QString fileBusy();             // filebusy

}
