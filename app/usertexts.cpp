#include "usertexts.h"

namespace UserTexts {

QString emptySecret()
{
    return QStringLiteral("The Secret Phrase field is empty.  Please enter a secret phrase.");
}

QString barInIdentifier()
{
    return QStringLiteral("The Password Identifier field cannot contain the symbol \"|\".  Please choose another character.");
}

QString invalidIdentifier()
{
    return QStringLiteral("The Password Identifer field is empty or contains the \"|\" symbol.                 "
                          "Please enter a valid entry for this field");
}

QString unstorableIdentifier()
{
    return QStringLiteral("The Password Identifier cannot be saved: it holds a line break, a tab or another control "
                          "character, or starts with an invisible mark.  It can still be used to generate a password.");
}

QString fileBusy()
{
    return QStringLiteral("The profile file is being changed by another Quorvane window or by quorvane-cli.  "
                          "Nothing was changed; please try again.");
}

QString savedAlready()
{
    return QStringLiteral("The profile already is already saved.  Please enter a new identifier.");
}

}
