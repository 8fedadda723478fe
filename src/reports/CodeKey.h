#pragma once

#include <QString>

namespace quarvel {

// A code as the database compares it: trailing blanks and letter case do not count, so
// "g01 " and "G01" give the same key.
inline QString codeKey(const QString& code)
{
    qsizetype end = code.size();
    while (end > 0 && code.at(end - 1) == u' ')
        --end;
    return code.left(end).toCaseFolded();
}

}  // namespace quarvel
