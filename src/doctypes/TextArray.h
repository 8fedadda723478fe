#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

namespace quarvel {

// An array of texts kept one after another in one buffer and read back by index: tens of
// thousands of short texts, of which one is read at a time, cost no allocation each.
class TextArray {
public:
    void clear()
    {
        m_text.truncate(0);
        m_ends.clear();
    }
    // Room for `texts` texts of `characters` characters in all.
    void reserve(qsizetype texts, qsizetype characters)
    {
        m_ends.reserve(texts);
        m_text.reserve(characters);
    }
    void append(QStringView text)
    {
        m_text.append(text);
        m_ends.append(m_text.size());
    }

    qsizetype size() const { return m_ends.size(); }
    qsizetype characters() const { return m_text.size(); }
    // The empty text past either end, as QStringList::value answers.
    QString value(qsizetype i) const
    {
        if (i < 0 || i >= m_ends.size())
            return {};
        const qsizetype from = i == 0 ? 0 : m_ends.at(i - 1);
        return m_text.mid(from, m_ends.at(i) - from);
    }
    QStringList toList() const
    {
        QStringList out;
        out.reserve(size());
        for (qsizetype i = 0; i < size(); ++i)
            out.append(value(i));
        return out;
    }

private:
    QString m_text;
    QVector<qsizetype> m_ends;
};

}  // namespace quarvel
