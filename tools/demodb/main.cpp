// quarvel-demodb: builds a SQLite demo database for the client and for the benchmarks.

#include "db/Connection.h"
#include "demodb/DemoData.h"
#include "library/FullTextBackfill.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTextStream>

#include <cstdio>

namespace {

bool parseCount(const QCommandLineParser& parser, const QString& name, qint64* value, QString* error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const qint64 v = parser.value(name).toLongLong(&ok);
    if (!ok || v < 0) {
        *error = QStringLiteral("--%1 needs a whole number of 0 or more").arg(name);
        return false;
    }
    *value = v;
    return true;
}

}  // namespace

// The main window's background picture of the demo: a soft gradient with the product name.
static bool writeBackgroundPicture(const QString& path)
{
    QImage image(1280, 800, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 1280, 800);
    sky.setColorAt(0, QColor(0xe8, 0xef, 0xf7));
    sky.setColorAt(1, QColor(0xc9, 0xd8, 0xea));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(QColor(255, 255, 255, 30 + 10 * i));
        p.drawEllipse(QPointF(1040 - 90 * i, 640 - 40 * i), 220 - 25 * i, 220 - 25 * i);
    }
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(64);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x1f, 0x4e, 0x79, 60));
    p.drawText(QRect(60, 560, 1100, 120), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quarvel 公司资料管理"));
    p.end();
    return image.save(path, "BMP");
}

int main(int argc, char* argv[])
{
    // Documents are painted; without a display the offscreen platform does that.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarvel-demodb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Builds a SQLite demo database for Quarvel: a small company with departments, positions,\n"
                       "employees, menu permissions, document types, documents with real files, rights,\n"
                       "download groups and an access log. Larger sizes add generated rows for benchmarks."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("the database file to create"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("replace PATH if it exists"));
    const QCommandLineOption departments(QStringLiteral("departments"), QStringLiteral("total departments"),
                                         QStringLiteral("N"));
    const QCommandLineOption types(QStringLiteral("types"), QStringLiteral("total document types"),
                                   QStringLiteral("N"));
    const QCommandLineOption documents(QStringLiteral("documents"), QStringLiteral("total documents"),
                                       QStringLiteral("N"));
    const QCommandLineOption logRows(QStringLiteral("log-rows"), QStringLiteral("access-log rows (default 600)"),
                                     QStringLiteral("N"));
    const QCommandLineOption rights(QStringLiteral("rights"),
                                    QStringLiteral("total download-rights rows (at least those of the documents)"),
                                    QStringLiteral("N"));
    const QCommandLineOption fileSize(QStringLiteral("file-size"),
                                      QStringLiteral("bytes of each generated document's file (text filler)"),
                                      QStringLiteral("BYTES"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("seed of the generated data"),
                                  QStringLiteral("N"));
    const QCommandLineOption background(QStringLiteral("background"),
                                        QStringLiteral("also write a background picture (MDI.BMP) to FILE"),
                                        QStringLiteral("FILE"));
    const QCommandLineOption textDocuments(
        QStringLiteral("text-documents"),
        QStringLiteral("add N documents of Chinese text each its own (every third in GBK)"), QStringLiteral("N"));
    const QCommandLineOption backfill(
        QStringLiteral("backfill"),
        QStringLiteral("index the text of every stored document for the search inside documents; with PATH\n"
                       "alone (no other size option) an existing database is indexed where it needs it"));
    parser.addOptions(
        {force, departments, types, documents, logRows, rights, fileSize, seed, background, textDocuments, backfill});
    parser.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);
    const QStringList args = parser.positionalArguments();
    if (parser.isSet(background)) {
        if (!writeBackgroundPicture(parser.value(background))) {
            err << "cannot write " << parser.value(background) << '\n';
            return 1;
        }
        if (args.isEmpty())
            return 0;
    }
    if (args.size() != 1) {
        err << "usage: quarvel-demodb PATH [--force] [--departments N] [--types N] [--documents N]"
               " [--log-rows N] [--rights N] [--file-size BYTES] [--seed N] [--text-documents N] [--backfill]\n";
        return 2;
    }
    const QString path = args.first();

    // Indexes the stored documents' text, showing how far it is; resumes where a run stopped.
    const auto runBackfill = [&]() -> int {
        const quarvel::DbStatus opened = quarvel::OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path);
        if (!opened.ok()) {
            err << "quarvel-demodb: " << opened.error.description << '\n';
            return 1;
        }
        int shown = -1;
        const auto done = quarvel::FullTextBackfill::run({}, [&](const quarvel::BackfillProgress& p) {
            if (p.done != shown && (p.done == p.total || p.done % 100 == 0)) {
                shown = p.done;
                out << "  full-text index: " << p.done << " of " << p.total << " documents\n" << Qt::flush;
            }
            return true;
        });
        quarvel::SharedConnection::release();
        if (!done.ok()) {
            err << "quarvel-demodb: " << done.error.description << '\n';
            return 1;
        }
        out << "Full-text index: " << done.value.indexed << " documents with text, " << done.value.noText
            << " without, " << done.value.failed << " unreadable\n";
        return 0;
    };
    if (parser.isSet(backfill) && QFileInfo::exists(path) && !parser.isSet(force))
        return runBackfill();

    quarvel::demo::DemoSizes sizes;
    qint64 value = 0;
    QString error;
    struct IntOption {
        const char* name;
        int* target;
    };
    for (const IntOption& o :
         {IntOption{"departments", &sizes.departments}, IntOption{"types", &sizes.types},
          IntOption{"documents", &sizes.documents}, IntOption{"text-documents", &sizes.textDocuments}}) {
        value = *o.target;
        if (!parseCount(parser, QString::fromLatin1(o.name), &value, &error) || value > 10000000) {
            err << (error.isEmpty() ? QStringLiteral("--%1 is too large").arg(QString::fromLatin1(o.name)) : error)
                << '\n';
            return 2;
        }
        *o.target = int(value);
    }
    if (!parseCount(parser, QStringLiteral("log-rows"), &sizes.logRows, &error)
        || !parseCount(parser, QStringLiteral("rights"), &sizes.rights, &error)
        || !parseCount(parser, QStringLiteral("file-size"), &sizes.fileSize, &error)) {
        err << error << '\n';
        return 2;
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        sizes.seed = parser.value(seed).toULongLong(&ok);
        if (!ok) {
            err << "--seed needs a whole number\n";
            return 2;
        }
    }

    if (QFileInfo::exists(path)) {
        if (!parser.isSet(force)) {
            err << path << " already exists (use --force to replace it)\n";
            return 1;
        }
        if (!QFile::remove(path)) {
            err << "cannot remove " << path << '\n';
            return 1;
        }
    }

    quarvel::demo::DemoSummary s;
    if (!quarvel::demo::build(path, sizes, &error, &s)) {
        err << "quarvel-demodb: " << error << '\n';
        return 1;
    }

    out << "Created " << path << '\n'
        << "  departments " << s.departments << " (categories " << s.departmentCategories << "), positions "
        << s.positions << " (categories " << s.positionCategories << "), employees " << s.employees << ", assignments "
        << s.assignments << '\n'
        << "  menu permission rows " << s.permissionRows << ", group menu entries " << s.menuGrants << '\n'
        << "  document types " << s.types << ", upload rights " << s.uploadRights << '\n'
        << "  documents " << s.documents << " (" << s.fileBytes << " bytes of files), download rights "
        << s.downloadRights << '\n'
        << "  download groups " << s.downloadGroups << " (" << s.groupMembers << " members), access-log rows "
        << s.logRows << '\n'
        << "  font for Chinese text: " << (s.fontFamily.isEmpty() ? QStringLiteral("(default)") : s.fontFamily) << '\n'
        << "Demo logins:\n";
    for (const auto& login : quarvel::demo::demoLogins())
        out << "  " << login.employeeNo.leftJustified(6) << ' ' << login.password.leftJustified(7) << ' '
            << login.description << '\n';
    return parser.isSet(backfill) ? runBackfill() : 0;
}
