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

QString savedAlready()
{
    return QStringLiteral("The profile already is already saved.  Please enter a new identifier.");
}

}
