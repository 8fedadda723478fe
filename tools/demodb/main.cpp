// quarvel-demodb: builds a SQLite demo database for the client and for the benchmarks.

#include "demodb/DemoData.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
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

int main(int argc, char* argv[])
{
    // Documents are painted; without a display the offscreen platform does that.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarvel-demodb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Builds a SQLite demo database for Quarvel: a small company with departments, positions,\n"
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
    const QCommandLineOption logRows(QStringLiteral("log-rows"),
                                     QStringLiteral("access-log rows (default 600)"), QStringLiteral("N"));
    const QCommandLineOption fileSize(QStringLiteral("file-size"),
                                      QStringLiteral("bytes of each generated document's file (text filler)"),
                                      QStringLiteral("BYTES"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("seed of the generated data"),
                                  QStringLiteral("N"));
    parser.addOptions({force, departments, types, documents, logRows, fileSize, seed});
    parser.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        err << "usage: quarvel-demodb PATH [--force] [--departments N] [--types N] [--documents N]"
               " [--log-rows N] [--file-size BYTES] [--seed N]\n";
        return 2;
    }
    const QString path = args.first();

    quarvel::demo::DemoSizes sizes;
    qint64 value = 0;
    QString error;
    struct IntOption {
        const char* name;
        int* target;
    };
    for (const IntOption& o : {IntOption{"departments", &sizes.departments}, IntOption{"types", &sizes.types},
                               IntOption{"documents", &sizes.documents}}) {
        value = *o.target;
        if (!parseCount(parser, QString::fromLatin1(o.name), &value, &error) || value > 10000000) {
            err << (error.isEmpty() ? QStringLiteral("--%1 is too large").arg(QString::fromLatin1(o.name))
                                    : error)
                << '\n';
            return 2;
        }
        *o.target = int(value);
    }
    if (!parseCount(parser, QStringLiteral("log-rows"), &sizes.logRows, &error)
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
        << s.positions << " (categories " << s.positionCategories << "), employees " << s.employees
        << ", assignments " << s.assignments << '\n'
        << "  menu permission rows " << s.permissionRows << ", group menu entries " << s.menuGrants << '\n'
        << "  document types " << s.types << ", upload rights " << s.uploadRights << '\n'
        << "  documents " << s.documents << " (" << s.fileBytes << " bytes of files), download rights "
        << s.downloadRights << '\n'
        << "  download groups " << s.downloadGroups << " (" << s.groupMembers << " members), access-log rows "
        << s.logRows << '\n'
        << "  font for Chinese text: "
        << (s.fontFamily.isEmpty() ? QStringLiteral("(default)") : s.fontFamily) << '\n'
        << "Demo logins:\n";
    for (const auto& login : quarvel::demo::demoLogins())
        out << "  " << login.employeeNo.leftJustified(6) << ' ' << login.password.leftJustified(7) << ' '
            << login.description << '\n';
    return 0;
}
