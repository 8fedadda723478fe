#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <type_traits>

namespace quarvel {

// One column of a long list: its enumerator and the expression the select list reads it by.
template <typename Column>
requires std::is_enum_v<Column>
struct ColumnOf {
    Column column;
    const char16_t* expression;
};

// The columns of a long list, declared once in the plain class that owns the statement: the
// enumerators of `Column` in their order, each with its expression, and `Column::Count` last.
// The statement's select list is built from it, and RowReader reads the columns by those
// enumerators only, so the two cannot drift apart. A table out of the enum's order, or with a
// column missing, does not compile.
template <typename Column, std::size_t N>
requires std::is_enum_v<Column>
class ColumnTable {
public:
    static_assert(std::size_t(Column::Count) == N, "every column of the enum, once");

    consteval explicit ColumnTable(const ColumnOf<Column> (&columns)[N])
    {
        for (std::size_t i = 0; i < N; ++i) {
            if (std::size_t(columns[i].column) != i)
                throw "the columns must follow the order of their enum";  // stops the compile
            m_expressions[i] = columns[i].expression;
        }
    }

    // The same table with one column read by another expression.
    consteval ColumnTable with(Column column, const char16_t* expression) const
    {
        ColumnTable table = *this;
        table.m_expressions[std::size_t(column)] = expression;
        return table;
    }

    // "a, b, c": the select list, in the enum's order.
    QString selectList() const
    {
        QString list;
        for (std::size_t i = 0; i < N; ++i) {
            if (i > 0)
                list += QLatin1String(", ");
            list += QStringView(m_expressions[i]);
        }
        return list;
    }

private:
    std::array<const char16_t*, N> m_expressions{};
};

// Declares a table with its enum named once: columnTable<Column>({{Column::A, u"t.a"}, ...}).
template <typename Column, std::size_t N>
consteval ColumnTable<Column, N> columnTable(const ColumnOf<Column> (&columns)[N])
{
    return ColumnTable<Column, N>(columns);
}

}  // namespace quarvel
