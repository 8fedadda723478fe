#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QVariant>

namespace quarvel {

// One value of a result as the embedded engine or a driver hands it over, and how it reads as a
// text, a number, a flag or a date-time. Query reads every value through it, and so does
// RowReader on both of its paths: a column reads the same whichever way it was fetched.
class CellValue {
public:
    static CellValue null() { return CellValue(Kind::Null); }
    static CellValue integer(qint64 n)
    {
        CellValue v(Kind::Integer);
        v.m_integer = n;
        return v;
    }
    static CellValue real(double d)
    {
        CellValue v(Kind::Real);
        v.m_real = d;
        return v;
    }
    // A text or blob as the engine stores it, in UTF-8; the bytes must outlive the value.
    static CellValue utf8(QByteArrayView bytes)
    {
        CellValue v(Kind::Utf8);
        v.m_utf8 = bytes;
        return v;
    }
    // A driver's value; the variant must outlive the value.
    static CellValue of(const QVariant& value);

    bool isNull() const { return m_kind == Kind::Null; }
    // Null reads as a null text, an empty text as an empty one; date-times in the canonical
    // form, flags as 0 or 1, reals as short as they read back the same.
    QString text() const;
    // A text counts only when it is a whole number; a real is rounded, not cut.
    qlonglong longInteger() const;
    // As longInteger(), and 0 beyond the range of an int.
    int integer() const;
    double real() const;
    // A 0/1 flag; null reads as false.
    bool flag() const;
    QDateTime dateTime() const;

private:
    enum class Kind { Null, Integer, Real, Utf8, Variant };
    explicit CellValue(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    qint64 m_integer = 0;
    double m_real = 0;
    QByteArrayView m_utf8;
    const QVariant* m_variant = nullptr;
};

}  // namespace quarvel
