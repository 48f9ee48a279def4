#include "changepage.h"

#include "pagematch.h"

#include <QDesktopServices>
#include <QUrl>

namespace ChangePage {

bool open(const QString &identifier)
{
    const QString page = PageMatch::changePasswordPage(identifier);
    return !page.isEmpty() && QDesktopServices::openUrl(QUrl(page));
}

}
