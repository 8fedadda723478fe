#include "login/ServerClock.h"

#include "db/Connection.h"
#include "platform/MessageBoxes.h"

namespace quarvel {

QDateTime GetServerDate(MessageBoxes& messages, QWidget* parent)
{
    DbError error;
    const QDateTime now = serverDate(&error);
    if (error.isSet())
        messages.inform(parent, formatError(error, ErrorForm::NumberSpaceDescription), executableTitle());
    return now;
}

}  // namespace quarvel
