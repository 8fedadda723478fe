#pragma once

// The hostile-input corpus and the checks that every window's hostile-input suite shares: a
// watch on every SQLite statement (how many ran, which failed), a fingerprint of the whole
// database (every row of every table) with the changes between two of them, the column
// lengths of the server's schema, and typing or pasting into a box as a user does.

#include "InputDriving.h"
#include "Organisation.h"
#include "TestSupport.h"

#include <QHash>
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>

class QWidget;

namespace quarvel {
class KeyedTree;
}

namespace quarvel::test {

struct HostileText {
    QString label;
    QString text;
};

// Every hostile text: quotes, injections, wildcards, brackets, backslashes, control lines,
// characters outside the BMP, emoji sequences, empty and blank texts and a 10,000-character
// text.
const QVector<HostileText>& hostileTexts();
// Texts no box lets in as they are (a malformed paste): NUL is refused, a lone surrogate mended.
const QVector<HostileText>& hostileMalformedTexts();
// Texts the suite's server takes as equal to the corpus text of the same label (another letter
// case): as a key they are that text, as a filter they find what it finds.
const QVector<HostileText>& hostileCaseVariants();
// The hostile texts that can be a file name part: separators, "..", ":", leading dots,
// reserved device names, 300 characters.
const QVector<HostileText>& hostileFileNames();

// Counts the statements SQLite runs on every connection and keeps each error it reports.
// install() must run before the first connection opens (the start of the test's main).
class StatementWatch {
public:
    static void install();
    static qint64 statements();
    static QStringList errors();
    static void clearErrors();
    // While paused (fixture reads), nothing is counted.
    static void pause(bool paused);
};

// One row of a table: its values by column.
struct RowImage {
    QStringList columns;
    QVariantList values;
    QString digest;
};

// Every row of every table, by table and rowid.
using Fingerprint = QMap<QString, QMap<qint64, RowImage>>;
Fingerprint fingerprint(const QSqlDatabase& db);

struct RowChange {
    enum Kind { Added, Removed, Changed } kind;
    QString table;
    qint64 rowid = 0;
    RowImage after;  // empty for a removed row
    QString describe() const;
};
QVector<RowChange> changesBetween(const Fingerprint& before, const Fingerprint& after);

// The declared length of every text column of the server's schema, by table and column.
const QHash<QString, QHash<QString, int>>& columnLengths();
// Texts of added or changed rows longer than their column: each as "table.column (n > max)".
QStringList overLongTexts(const QVector<RowChange>& changes);

// Puts the text into a line or text box as a user does: short plain text typed key by key,
// anything else pasted from the clipboard over the box's whole content.
void enterText(QWidget* box, const QString& text);
// A mouse click on a tree node, and on its check box (the tree must be shown).
// What a box holds now.
QString boxText(QWidget* box);

// A short readable form of a text for failure messages.
QString shortForm(const QString& text);

// Counts inputs tried, per place, for the closing note of each suite.
struct Tally {
    int inputs = 0;
    int places = 0;
    qint64 statementsAtStart = 0;
    int outsideChanges = 0;
    void begin() { statementsAtStart = StatementWatch::statements(); }
    void report(const char* suite) const;
};

// One operation with a hostile input, from construction to finish(): no SQLite error, no
// message that shows a raw statement error, and rows changed only where `allowed` says.
// finish() returns the allowed changes, for reading the stored texts back.
class Probe {
public:
    Probe(TestDatabase& db, ScriptedMessages& msgs, Tally& tally, QStringList& problems, QString what);
    QVector<RowChange> finish(const std::function<bool(const RowChange&)>& allowed = {});
    // The messages shown since the start.
    QStringList messages() const;
    void problem(const QString& text) { m_problems << m_what + QStringLiteral(": ") + text; }

private:
    TestDatabase& m_db;
    ScriptedMessages& m_msgs;
    Tally& m_tally;
    QStringList& m_problems;
    QString m_what;
    qsizetype m_shownAtStart;
    Fingerprint m_before;
};

// A message that shows a raw statement error rather than the window's own words.
bool looksLikeStatementError(const QString& message);

// Runs the suite with the statement watch installed before any connection opens.
#define QUARVEL_HOSTILE_MAIN(TestObject)                                                                               \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        quarvel::test::StatementWatch::install();                                                                      \
        QApplication app(argc, argv);                                                                                  \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

// The names in a folder and all below it, relative to it.
QStringList listTree(const QString& folder);

}  // namespace quarvel::test
