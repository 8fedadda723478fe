#include "login/ServerClock.h"

#include "db/Connection.h"
#include "platform/MessageBoxes.h"

namespace quarvel {

QDateTime GetServerDate(MessageBoxes& messages, QWidget* parent)
{
    const DbResult<QDateTime> now = serverDate();
    if (!now.ok())
        messages.inform(parent, formatError(now.error, ErrorForm::NumberSpaceDescription), executableTitle());
    return now.value;
}

}  // namespace quarvel
