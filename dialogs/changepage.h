#pragma once

#include <QString>

// The site's page for changing its password, opened in the user's browser through the desktop.
// Quorvane itself fetches nothing: the browser follows the site's redirect.
namespace ChangePage {

// Opens https://HOST/.well-known/change-password for an identifier that is a domain name or an
// address (PageMatch::changePasswordPage); false when there is none or no browser opened it.
bool open(const QString &identifier);

}
