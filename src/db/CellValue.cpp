#include "db/CellValue.h"

#include "db/SqlDialect.h"

#include <QLocale>

#include <limits>

namespace quarvel {

CellValue CellValue::of(const QVariant& value)
{
    if (value.isNull())
        return null();
    switch (value.typeId()) {
    case QMetaType::Bool: return integer(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong: return integer(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (value.toULongLong() <= quint64(std::numeric_limits<qint64>::max()))
            return integer(value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float: return real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray* bytes = static_cast<const QByteArray*>(value.constData());
        return utf8(QByteArrayView(*bytes));
    }
    default: break;
    }
    CellValue v(Kind::Variant);
    v.m_variant = &value;
    return v;
}

QString CellValue::text() const
{
    switch (m_kind) {
    case Kind::Null: return {};
    case Kind::Integer: {
        // Flags and small counts, on every row of a long list: shared texts, not one each.
        static const QString digits[] = {
            QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
            QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")};
        if (m_integer >= 0 && m_integer <= 9)
            return digits[m_integer];
        return QString::number(m_integer);
    }
    case Kind::Real: return QString::number(m_real, 'g', QLocale::FloatingPointShortest);
    case Kind::Utf8: return m_utf8.isEmpty() ? QStringLiteral("") : QString::fromUtf8(m_utf8);
    case Kind::Variant: break;
    }
    if (m_variant->typeId() == QMetaType::QDateTime)
        return dialect::canonicalDateTime(m_variant->toDateTime());
    return m_variant->toString();
}

qlonglong CellValue::longInteger() const
{
    switch (m_kind) {
    case Kind::Null: return 0;
    case Kind::Integer: return m_integer;
    case Kind::Real: return qRound64(m_real);
    case Kind::Utf8: {
        bool ok = false;
        const qlonglong n = text().toLongLong(&ok);
        return ok ? n : 0;
    }
    case Kind::Variant: break;
    }
    return m_variant->toLongLong();
}

int CellValue::integer() const
{
    const qlonglong n = longInteger();
    return n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max() ? 0 : int(n);
}

double CellValue::real() const
{
    switch (m_kind) {
    case Kind::Null: return 0.0;
    case Kind::Integer: return double(m_integer);
    case Kind::Real: return m_real;
    case Kind::Utf8: {
        bool ok = false;
        const double n = text().toDouble(&ok);
        return ok ? n : 0.0;
    }
    case Kind::Variant: break;
    }
    return m_variant->toDouble();
}

bool CellValue::flag() const
{
    if (m_kind == Kind::Variant && m_variant->typeId() == QMetaType::Bool)
        return m_variant->toBool();
    return longInteger() != 0;
}

QDateTime CellValue::dateTime() const
{
    switch (m_kind) {
    case Kind::Null: return {};
    case Kind::Utf8: {
        // Date-times are stored in the canonical form: read it straight from the bytes (on long
        // lists it is the bulk of the work), anything else through the dialect.
        const QDateTime canonical = dialect::fromCanonicalUtf8(m_utf8);
        if (canonical.isValid())
            return canonical;
        return dialect::toDateTime(QVariant(text()));
    }
    case Kind::Integer:
    case Kind::Real: return dialect::toDateTime(QVariant(text()));
    case Kind::Variant: break;
    }
    return dialect::toDateTime(*m_variant);
}

}  // namespace quarvel
