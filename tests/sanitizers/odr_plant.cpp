// Linked only by the one-definition-rule check's own test: a second, different type under the
// name of one the core defines. The check must refuse the program.
#include <QString>
#include <QVector>

namespace quarvel {

struct DocumentRightRow {
    qint64 id = 0;
    QString documentNumber;
};

QVector<DocumentRightRow> plantedRows()
{
    QVector<DocumentRightRow> rows;
    rows.emplace_back();
    return rows;
}

}  // namespace quarvel
